// The HTTP transport under InetRequest and WinHttpRequest: one request goes
// out, redirects are followed when asked, and the final response comes back
// whole or with what went wrong. Everything that knows libcurl sits behind
// this header, so the way transfers are driven can change without touching
// the request operations.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
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

// Ending transfers before they are over.
//
// A cancel token ends a group of transfers from any thread. A transfer
// belongs to the token of the TransferCancelScope that is alive on its
// calling thread when it starts. A cancelled transfer ends at once, as if its
// connection had broken at that point: kSend before the request went out,
// kNoResponse before the final response's header block, kBrokenBody (with the
// body so far) after it. The request operations then give their usual results
// for such failures.
class TransferCancelToken {
 public:
  struct State;

  TransferCancelToken();
  // Ends the token's transfers that are under way or waiting, and makes the
  // ones started with it later fail at once (kSend). Copies of a token share
  // it. Any thread; calling it again does nothing.
  void Cancel() const;
  bool Cancelled() const;

  const std::shared_ptr<State>& Shared() const { return state_; }

 private:
  std::shared_ptr<State> state_;
};

// Transfers started on this thread while the scope lives belong to `token`.
// Scopes nest; the innermost one counts.
class TransferCancelScope {
 public:
  explicit TransferCancelScope(const TransferCancelToken& token);
  ~TransferCancelScope();
  TransferCancelScope(const TransferCancelScope&) = delete;
  TransferCancelScope& operator=(const TransferCancelScope&) = delete;

 private:
  std::shared_ptr<TransferCancelToken::State> previous_;
};

// While the scope lives, a thread that waits for its own transfer calls
// `whileWaiting` every few milliseconds instead of only sleeping: a window's
// thread keeps painting and can be closed while its request is under way (and
// the close can cancel the request). Transfers started inside `whileWaiting`
// simply wait. Scopes nest; the innermost one counts.
class TransferWaitScope {
 public:
  explicit TransferWaitScope(std::function<void()> whileWaiting);
  ~TransferWaitScope();
  TransferWaitScope(const TransferWaitScope&) = delete;
  TransferWaitScope& operator=(const TransferWaitScope&) = delete;

 private:
  std::function<void()> previous_;
};

// Ends every transfer of the process that is under way or waiting, at once,
// the way TransferCancelToken::Cancel does. Transfers started afterwards run
// as usual.
void AbortAllTransfers();

// Carries out one transfer and returns when it is over. The calling thread
// waits meanwhile; every transfer of the process is driven by one thread of
// the transport, which also keeps the connections for reuse. A request that
// fails on kept connections before any response arrives (the server closed
// them while idle) goes out once more on a new connection.
// Redirects (301, 302, 303, 307, 308 and other 3xx with a Location) are
// followed up to 10 times when asked, http to https included; a redirect from
// https to http is not followed and comes back as the final response.
// Certificates are verified against the system store (plus the file of
// SetExtraTrustedCaFile).
HttpResponse PerformHttpTransfer(const HttpTransfer& transfer);

// Connections are kept open after a transfer, for as long as the server
// keeps them, and later transfers to the same server (scheme, host, port and
// proxy) reuse an idle one instead of connecting anew.
//
// Sees to it, without waiting, that `count` connections to the server of
// `url` ("http://" or "https://" and a host, port optional) are open and
// idle, so that as many requests sent soon need no connection set-up.
// Counts the idle connections the server has not closed and opens one for
// each one missing, by a HEAD request for "/" (a connection opened without a
// request could not be reused). Does nothing for a URL without a host.
void PrepareConnections(std::string_view url, int count);

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
