// One complete HTTP or HTTPS request with the defaults of a browser of the
// Windows family: the request operation of the user-interface thread (access
// token, OCR upload).
#pragma once

#include <string_view>

#include "text/text.h"

namespace qa {

// The optional arguments, in their order; omitted ones keep these defaults.
// Out and in/out arguments point at values the caller owns; a null pointer
// means "omitted" (an out value is then discarded). Write calls with
// designated initialisers, e.g. InetRequest(url, {.method = 1, .postText = body}).
struct InetRequestArgs {
  // 0 "GET", 1 "POST", 2 "HEAD"; any other value counts as 0.
  int method = 0;
  // Body as text, used for POST and HEAD when `postBytes` is empty. (A HEAD
  // request goes out without its body; the body arguments are still filled.)
  std::string_view postText{};
  // In/out cookie list ("a=1; b=2"). Omitted: the process-wide cookie store
  // is used (it keeps what responses set, redirects included, and sends what
  // matches). Supplied, even empty: the store is neither used nor filled, the
  // list travels as the "Cookie: " line when not empty, and afterwards the
  // received cookies are merged into it (MergeCookies).
  Text* sendCookies = nullptr;
  // Out: the cookie list the final response sets.
  Text* receivedCookies = nullptr;
  // In/out: extra request header lines joined by CRLF (no CRLF at the end);
  // afterwards the whole header block that was sent.
  Text* headers = nullptr;
  // Out: the final response's raw header block (status line, header lines and
  // the closing empty line, joined by CRLF, "Set-Cookie" in that spelling);
  // 5000 spaces when no response arrived.
  Text* receivedHeaders = nullptr;
  // True: redirects are not followed and the redirect response comes back.
  bool noRedirect = false;
  // In/out body as bytes, used for POST and HEAD; when empty it is filled
  // with the bytes of `postText`.
  Bytes* postBytes = nullptr;
  // Proxy "host:port"; empty for a direct connection.
  std::string_view proxy{};
};

// Sends the request to `url` ("http://" or "https://"; no scheme means http)
// and returns the response body, whatever its status. Returns empty Bytes,
// with no argument changed, when the URL names no host or an impossible port.
// When no response arrives (refused, unreachable, TLS failure, time-out) the
// body is empty, `receivedHeaders` holds 5000 spaces and `receivedCookies` is
// empty; when the body breaks off, the bytes read so far come back. Each
// phase (connect, then any silence while sending or receiving) is limited to
// DefaultPhaseTimeout().
Bytes InetRequest(std::string_view url, const InetRequestArgs& args = {});

}  // namespace qa
