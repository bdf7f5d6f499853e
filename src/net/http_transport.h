// The HTTP transport under InetRequest and WinHttpRequest: one request goes
// out, redirects are followed when asked, and the final response comes back
// whole or with what went wrong. Everything that knows libcurl sits behind
// this header, so the way transfers are driven (one handle per call today)
// can change without touching the request operations.
#pragma once

#include <chrono>
#include <string_view>

#include "text/text.h"

namespace qa {

// What happens to cookies during one transfer.
enum class CookieHandling {
  // Only the cookie lines among the header lines travel.
  kNone,
  // Cookies set by a response of a redirect chain travel on the chain's later
  // requests; nothing outlives the call.
  kWithinCall,
  // The process-wide store: what any response sets is stored (redirects
  // included), and stored cookies that match a request are sent with it.
  kProcessStore,
};

struct HttpTransfer {
  bool https = false;
  // Host name, IPv4 address or bracketed IPv6 address; anything else fails
  // like a name that cannot be resolved.
  Text host;
  int port = 80;
  // The request target: begins with "/", every byte a request line allows
  // (see EscapeRequestTarget). A fragment ("#...") is not sent.
  Text target = "/";
  Text verb = "GET";
  // Header lines without CRLF, sent in this order as given, after the
  // transport's own Host, credential and User-Agent lines. A line whose value
  // is empty is sent as "Name:".
  TextArray headerLines;
  // Sent as the User-Agent line unless a header line names the agent itself.
  Text userAgent;
  // Sent with POST and PUT always (Content-Length: 0 when empty), with GET
  // when it is not empty, never with HEAD. Never announced with
  // "Expect: 100-continue".
  Text body;
  bool followRedirects = true;
  // "host:port" of an HTTP proxy; empty for a direct connection.
  Text proxy;
  // Basic credentials, sent with the first request; each pair is used only
  // when both of its texts are non-empty.
  Text serverUser;
  Text serverPassword;
  Text proxyUser;
  Text proxyPassword;
  CookieHandling cookies = CookieHandling::kNone;
  // Limit for each phase: resolving and connecting (TLS included), then any
  // stretch without a byte sent or received. Zero: DefaultPhaseTimeout().
  std::chrono::milliseconds phaseTimeout{0};
};

enum class TransferFailure {
  kNone,         // the final response arrived whole
  kUnavailable,  // the transfer could not be set up
  kSend,         // name resolution, connection, TLS or sending the request failed
  kNoResponse,   // the request went out but no final response header block came back
  kBrokenBody,   // the final header block came, then the body broke off
};

struct HttpResponse {
  TransferFailure failure = TransferFailure::kNone;
  // The final response's status line and header lines, each ended by CRLF,
  // then the empty line's CRLF, bytes as received. Empty unless the block
  // arrived (kNone, kBrokenBody).
  Text headerBlock;
  // The final response's body: all of it, or with kBrokenBody what arrived
  // before the break; empty on the other failures.
  Bytes body;
};

// Carries out one transfer on the calling thread and returns when it is over.
// Redirects (301, 302, 303, 307, 308 and other 3xx with a Location) are
// followed up to 10 times when asked, http to https included; a redirect from
// https to http is not followed and comes back as the final response.
// Certificates are verified against the system store (plus the file of
// SetExtraTrustedCaFile).
HttpResponse PerformHttpTransfer(const HttpTransfer& transfer);

// False when the HTTP library could not be initialised; no transfer can be
// made then.
bool HttpTransportReady();

// Process-wide settings, meant for tests and local stand-in services.
//
// Adds the CA certificates of a PEM file to the trusted ones (the system store
// stays trusted). An empty path goes back to the system store alone. False,
// changing nothing, when the file cannot be read.
bool SetExtraTrustedCaFile(std::string_view pemPath);
// The phase limit used when a transfer gives none: 30 seconds unless set;
// setting zero or less restores 30 seconds.
void SetDefaultPhaseTimeout(std::chrono::milliseconds timeout);
std::chrono::milliseconds DefaultPhaseTimeout();
// Empties the process-wide cookie store.
void ClearStoredCookies();

}  // namespace qa
