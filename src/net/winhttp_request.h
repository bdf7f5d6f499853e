// One complete HTTP or HTTPS request with the defaults of a browser of the
// Windows family, returning the page as GBK text: the request operation of
// the scoring workers.
#pragma once

#include <string_view>

#include "text/text.h"

namespace qa {

// The optional arguments, in their order; omitted ones keep these defaults.
// Out and in/out arguments point at values the caller owns; a null pointer
// means "omitted" (an out value is then discarded). Write calls with
// designated initialisers, e.g. WinHttpRequest(url, {.noRedirect = true, .location = &to}).
struct WinHttpRequestArgs {
  // 0 "GET", 1 "POST", 2 "HEAD", 3 "PUT"; any other value counts as 0.
  int method = 0;
  // The body, sent with every method but HEAD when not empty (POST and PUT
  // always announce its length).
  std::string_view postText{};
  // In/out cookie list ("a=1; b=2"). Omitted: no cookie travels but those of
  // `headers`, and nothing is stored. Supplied, even empty: the list travels
  // as the "Cookie: " line when not empty and `headers` has no such line;
  // cookies set along a redirect chain travel on its later requests within
  // this call; afterwards the received cookies are merged into it
  // (MergeCookies).
  Text* sendCookies = nullptr;
  // Out: the cookie list the final response sets.
  Text* receivedCookies = nullptr;
  // Extra request header lines joined by CRLF (no CRLF at the end). A line
  // naming a header that comes again later gives way to the later one; a line
  // with an empty value removes the header.
  std::string_view headers{};
  // Out: the final response's raw header block (status line, header lines and
  // the closing empty line, joined by CRLF, "Set-Cookie" in that spelling).
  Text* receivedHeaders = nullptr;
  // True: redirects are not followed and the redirect response comes back.
  bool noRedirect = false;
  // Basic credentials for the server, used when both are non-empty.
  std::string_view userName{};
  std::string_view password{};
  // Proxy "host:port"; empty for a direct connection.
  std::string_view proxy{};
  // Basic credentials for the proxy, used when both are non-empty.
  std::string_view proxyUser{};
  std::string_view proxyPassword{};
  // Above 0: each phase (resolve and connect, then any silence while sending
  // or receiving) may last this many seconds; else DefaultPhaseTimeout().
  int timeoutSeconds = 0;
  // Out: the value of the last "Location: " line of the final response;
  // unchanged when there is none.
  Text* location = nullptr;
  // Out: the status text ("200 OK") or a numbered message (WinHttpMessage).
  Text* message = nullptr;
  // Out: the raw response body.
  Bytes* receivedBytes = nullptr;
};

// Sends the request to `url` ("http://" or "https://" with a host) and returns
// the response body as text (DetectCharsetAndConvert), whatever its status.
// On failure the result is empty, `message` holds the numbered message and no
// other output changes:
//   701 the URL cannot be split (empty, no or another scheme, no host, bad port);
//   711 name resolution, connection, TLS or sending failed;
//   712 the request went out but no response header block came back.
// When the body breaks off after the headers, `message` holds 713, the other
// outputs are filled and the result is the text of the bytes that arrived.
Text WinHttpRequest(std::string_view url, const WinHttpRequestArgs& args = {});

// The numbered message of WinHttpRequest (GBK text, e.g. "711 发送请求失败!");
// empty for a number that has none.
Text WinHttpMessage(int number);

}  // namespace qa
