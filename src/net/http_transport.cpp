// The transport: each transfer is one libcurl easy handle, run by the
// transfer engine (one multi handle on a thread of its own) while the caller
// waits.
#include "net/http_transport.h"

#include <chrono>

#include "net/curl_handle.h"
#include "net/transfer_engine.h"
#include "net/url.h"

namespace qa {

namespace {

using Clock = std::chrono::steady_clock;

constexpr long kMaxRedirects = 10;

// What the callbacks of one transfer see and keep. All callbacks run on the
// thread of curl_easy_perform.
struct Exchange {
  bool followRedirects = true;
  std::chrono::milliseconds phaseTimeout{0};

  Text block;  // header lines of the response being received
  bool sawStatusLine = false;
  bool blockComplete = false;   // its empty line arrived (1xx interim blocks do not count)
  bool blockRedirects = false;  // and curl goes on to follow it
  int status = 0;
  bool hasLocation = false;
  Bytes body;

  Clock::time_point lastActivity = Clock::now();
  curl_off_t lastDown = 0;
  curl_off_t lastUp = 0;
  bool uploadIncomplete = false;

  void Touch() { lastActivity = Clock::now(); }
};

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

int StatusCodeOf(std::string_view statusLine) {
  std::size_t space = statusLine.find(' ');
  return space == std::string_view::npos ? 0 : TextToInt(statusLine.substr(space + 1, 3));
}

size_t OnHeaderLine(char* data, size_t size, size_t count, void* user) noexcept {
  auto& x = *static_cast<Exchange*>(user);
  const size_t n = size * count;
  try {
    x.Touch();
    std::string_view line(data, n);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (StartsWithIgnoreCase(line, "HTTP/")) {
      // A new response of the chain (a redirect target, or the answer after a
      // 1xx interim block) replaces everything kept so far.
      x.block.clear();
      x.body.clear();
      x.sawStatusLine = true;
      x.blockComplete = false;
      x.blockRedirects = false;
      x.hasLocation = false;
      x.status = StatusCodeOf(line);
    } else if (x.blockComplete) {
      return n;  // trailer lines after a chunked body are not part of the block
    } else if (StartsWithIgnoreCase(line, "Location:")) {
      x.hasLocation = true;
    }
    x.block.append(line);
    x.block.append("\r\n");
    if (line.empty() && x.status >= 200) {
      x.blockComplete = true;
      x.blockRedirects = x.followRedirects && x.status >= 300 && x.status < 400 && x.hasLocation;
    }
  } catch (...) {
    return 0;  // aborts the transfer
  }
  return n;
}

size_t OnBodyBytes(char* data, size_t size, size_t count, void* user) noexcept {
  auto& x = *static_cast<Exchange*>(user);
  const size_t n = size * count;
  try {
    x.Touch();
    x.body.insert(x.body.end(), data, data + n);
  } catch (...) {
    return 0;
  }
  return n;
}

// Ends a transfer that has neither sent nor received a byte for a whole phase.
int OnProgress(void* user, curl_off_t, curl_off_t downloaded, curl_off_t uploadTotal,
               curl_off_t uploaded) noexcept {
  auto& x = *static_cast<Exchange*>(user);
  if (downloaded != x.lastDown || uploaded != x.lastUp) {
    x.lastDown = downloaded;
    x.lastUp = uploaded;
    x.Touch();
  }
  x.uploadIncomplete = uploadTotal > 0 && uploaded < uploadTotal;
  return Clock::now() - x.lastActivity >= x.phaseTimeout ? 1 : 0;
}

// A connection is ready and the request is about to go out: the silence
// limit starts afresh, apart from the time connecting took.
int OnConnected(void* user, char*, char*, int, int) noexcept {
  static_cast<Exchange*>(user)->Touch();
  return CURL_PREREQFUNC_OK;
}

bool IsHostName(std::string_view host) {
  if (host.empty()) return false;
  if (host.front() == '[') {
    if (host.size() < 3 || host.back() != ']') return false;
    for (char c : host.substr(1, host.size() - 2)) {
      bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') ||
                c == ':' || c == '.';
      if (!ok) return false;
    }
    return true;
  }
  for (char c : host) {
    bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
              c == '.' || c == '-' || c == '_';
    if (!ok) return false;
  }
  return true;
}

// libcurl reads "Name:" with nothing after it as "do not send Name"; "Name;"
// sends the line with its empty value.
Text AsCurlHeaderLine(std::string_view line) {
  Text out(line);
  std::size_t colon = out.find(':');
  if (colon != Text::npos && out.find_first_not_of(" \t", colon + 1) == Text::npos) {
    out.resize(colon);
    out += ';';
  }
  return out;
}

bool HasHeaderNamed(const TextArray& lines, std::string_view name) {
  for (const Text& line : lines) {
    if (line.size() > name.size() && (line[name.size()] == ':' || line[name.size()] == ';') &&
        StartsWithIgnoreCase(line, name)) {
      return true;
    }
  }
  return false;
}

bool Connected(CURL* easy, bool https) {
  curl_off_t connect = 0;
  curl_off_t secured = 0;
  curl_easy_getinfo(easy, CURLINFO_CONNECT_TIME_T, &connect);
  curl_easy_getinfo(easy, CURLINFO_APPCONNECT_TIME_T, &secured);
  return connect > 0 && (!https || secured > 0);
}

TransferFailure Classify(CURLcode code, const Exchange& x, CURL* easy, bool https) {
  if (code == CURLE_OK) {
    return x.blockComplete ? TransferFailure::kNone : TransferFailure::kNoResponse;
  }
  if (x.blockComplete && !x.blockRedirects) return TransferFailure::kBrokenBody;
  if (x.blockComplete) {
    // The redirect was not followed because its target's scheme is refused
    // (https to http): that response is the final one.
    return code == CURLE_UNSUPPORTED_PROTOCOL ? TransferFailure::kNone
                                              : TransferFailure::kNoResponse;
  }
  if (x.sawStatusLine) return TransferFailure::kNoResponse;
  switch (code) {
    case CURLE_URL_MALFORMAT:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_PROXY:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_USE_SSL_FAILED:
    case CURLE_SEND_ERROR:
    case CURLE_READ_ERROR:
      return TransferFailure::kSend;
    default:
      // Time-outs, and answers that are missing or not HTTP: whether the
      // request got out decides.
      return Connected(easy, https) && !x.uploadIncomplete ? TransferFailure::kNoResponse
                                                           : TransferFailure::kSend;
  }
}

// Connections serve one server: scheme, host, port and proxy.
std::string ServerOf(const HttpTransfer& t) {
  return (t.https ? "https://" : "http://") + t.host + ":" + std::to_string(t.port) +
         (t.proxy.empty() ? "" : " via " + t.proxy);
}

class Transfer {
 public:
  explicit Transfer(const HttpTransfer& t) : t_(t) {}

  HttpResponse Run() {
    HttpResponse response;
    if (!Resolvable()) {
      response.failure = TransferFailure::kSend;  // no such host can be resolved
      return response;
    }
    if (!Prepare()) {
      response.failure = TransferFailure::kUnavailable;
      return response;
    }
    const CURLcode code = curl::RunTransfer(easy_.get(), curl::CurrentCancelToken(), *server_,
                                            [this] { return x_.lastActivity + x_.phaseTimeout; });
    diedOnKeptConnection_ = DiedOnKeptConnection(code);
    response.failure = Classify(code, x_, easy_.get(), t_.https);
    if (response.failure == TransferFailure::kNone ||
        response.failure == TransferFailure::kBrokenBody) {
      response.headerBlock = std::move(x_.block);
      response.body = std::move(x_.body);
    }
    return response;
  }

  bool Resolvable() const { return IsHostName(t_.host) && t_.port >= 1 && t_.port <= 65535; }

  // Makes and configures the handle; false when that failed.
  bool Prepare() {
    x_.followRedirects = t_.followRedirects;
    x_.phaseTimeout = t_.phaseTimeout.count() > 0 ? t_.phaseTimeout : DefaultPhaseTimeout();
    easy_.reset(curl::GlobalInit() ? curl_easy_init() : nullptr);
    if (!easy_ || !Configure()) return false;
    x_.Touch();
    return true;
  }

  CURL* Easy() const { return easy_.get(); }

  // On a connection of its own, even when an idle one could serve.
  void UseNewConnection() { newConnection_ = true; }

  // The last Run failed on kept connections before any response arrived:
  // the server had closed them while they were idle. (libcurl tries another
  // kept connection a few times, but a server that ended its idle connections
  // at once, as on its keep-alive time-out, can leave more dead ones in the
  // pool than that, and TLS connections the server has said goodbye on still
  // look alive.) The request is worth sending again on a new connection.
  bool DiedOnKeptConnection() const { return diedOnKeptConnection_; }

 private:
  bool DiedOnKeptConnection(CURLcode code) const {
    if (code != CURLE_SEND_ERROR && code != CURLE_RECV_ERROR && code != CURLE_GOT_NOTHING) {
      return false;
    }
    long newConnections = -1;
    return !x_.sawStatusLine && !curl::IsCancelled(curl::CurrentCancelToken()) &&
           curl_easy_getinfo(easy_.get(), CURLINFO_NUM_CONNECTS, &newConnections) == CURLE_OK &&
           newConnections == 0;
  }

  template <typename T>
  bool Set(CURLoption option, T value) {
    return curl_easy_setopt(easy_.get(), option, value) == CURLE_OK;
  }

  bool Configure() {
    url_ =
        (t_.https ? "https://" : "http://") + t_.host + ":" + std::to_string(t_.port) + t_.target;
    bool ok = Set(CURLOPT_URL, url_.c_str()) && Set(CURLOPT_NOSIGNAL, 1L) &&
              Set(CURLOPT_PROTOCOLS_STR, "http,https") &&
              Set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1)) &&
              Set(CURLOPT_PATH_AS_IS, 1L) && Set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L) &&
              Set(CURLOPT_HEADERFUNCTION, &OnHeaderLine) && Set(CURLOPT_HEADERDATA, &x_) &&
              Set(CURLOPT_WRITEFUNCTION, &OnBodyBytes) && Set(CURLOPT_WRITEDATA, &x_) &&
              Set(CURLOPT_NOPROGRESS, 0L) && Set(CURLOPT_XFERINFOFUNCTION, &OnProgress) &&
              Set(CURLOPT_XFERINFODATA, &x_) && Set(CURLOPT_PREREQFUNCTION, &OnConnected) &&
              Set(CURLOPT_PREREQDATA, &x_);
    ok = ok && ConfigureMethodAndBody() && ConfigureHeaders() && ConfigureRedirects() &&
         ConfigureProxyAndCredentials() && ConfigureCookies() && ConfigureTls() &&
         ConfigureConnection();
    return ok && Set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(x_.phaseTimeout.count()));
  }

  bool ConfigureMethodAndBody() {
    // libcurl sends HEAD without a body, whatever else is set.
    if (t_.verb == "HEAD") return Set(CURLOPT_NOBODY, 1L);
    if (t_.verb == "POST" || t_.verb == "PUT" || !t_.body.empty()) {
      bool ok = Set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(t_.body.size())) &&
                Set(CURLOPT_POSTFIELDS, t_.body.data());
      return ok && (t_.verb == "POST" || Set(CURLOPT_CUSTOMREQUEST, t_.verb.c_str()));
    }
    if (t_.verb == "GET") return Set(CURLOPT_HTTPGET, 1L);
    return Set(CURLOPT_CUSTOMREQUEST, t_.verb.c_str());
  }

  bool ConfigureHeaders() {
    auto append = [&](const Text& line) {
      curl_slist* head = curl_slist_append(headers_.get(), line.c_str());
      if (head && !headers_) headers_.reset(head);
      return head != nullptr;
    };
    for (const Text& line : t_.headerLines) {
      if (!append(AsCurlHeaderLine(line))) return false;
    }
    // No "Expect: 100-continue" pause before large bodies.
    if (!HasHeaderNamed(t_.headerLines, "Expect") && !append("Expect:")) return false;
    bool ok = Set(CURLOPT_HTTPHEADER, headers_.get());
    Text agent = t_.userAgent.substr(0, t_.userAgent.find_first_of("\r\n"));
    if (!agent.empty()) {
      userAgent_ = std::move(agent);
      ok = ok && Set(CURLOPT_USERAGENT, userAgent_.c_str());
    }
    return ok;
  }

  bool ConfigureRedirects() {
    if (!t_.followRedirects) return Set(CURLOPT_FOLLOWLOCATION, 0L);
    return Set(CURLOPT_FOLLOWLOCATION, 1L) && Set(CURLOPT_MAXREDIRS, kMaxRedirects) &&
           Set(CURLOPT_REDIR_PROTOCOLS_STR, t_.https ? "https" : "http,https");
  }

  bool ConfigureProxyAndCredentials() {
    // An empty proxy also keeps proxy variables of the environment out.
    bool ok = Set(CURLOPT_PROXY, t_.proxy.c_str());
    if (!t_.proxy.empty()) ok = ok && Set(CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
    if (!t_.serverUser.empty() && !t_.serverPassword.empty()) {
      ok = ok && Set(CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC)) &&
           Set(CURLOPT_USERNAME, t_.serverUser.c_str()) &&
           Set(CURLOPT_PASSWORD, t_.serverPassword.c_str());
    }
    if (!t_.proxy.empty() && !t_.proxyUser.empty() && !t_.proxyPassword.empty()) {
      ok = ok && Set(CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC)) &&
           Set(CURLOPT_PROXYUSERNAME, t_.proxyUser.c_str()) &&
           Set(CURLOPT_PROXYPASSWORD, t_.proxyPassword.c_str());
    }
    return ok;
  }

  bool ConfigureCookies() {
    switch (t_.cookies) {
      case CookieHandling::kNone:
        return true;
      case CookieHandling::kWithinCall:
        return Set(CURLOPT_COOKIEFILE, "");
      case CookieHandling::kProcessStore: {
        CURLSH* store = curl::SharedCookieStore();
        return store && Set(CURLOPT_SHARE, store) && Set(CURLOPT_COOKIEFILE, "");
      }
    }
    return false;
  }

  bool ConfigureTls() {
    bool ok = true;
    const std::string& directory = curl::SystemCaDirectory();
    if (!directory.empty()) {
      ok = Set(CURLOPT_CAINFO, static_cast<const char*>(nullptr)) &&
           Set(CURLOPT_CAPATH, directory.c_str());
    }
    extraCas_ = curl::ExtraTrustedCas();
    if (!extraCas_) return ok;
    curl_blob blob{const_cast<char*>(extraCas_->data()), extraCas_->size(), CURL_BLOB_NOCOPY};
    return ok && Set(CURLOPT_CAINFO_BLOB, &blob);
  }

  bool ConfigureConnection() {
    server_ = &curl::ConnectionsTo(ServerOf(t_));
    return curl::TrackConnections(easy_.get(), *server_) &&
           (!newConnection_ || Set(CURLOPT_FRESH_CONNECT, 1L));
  }

  const HttpTransfer& t_;
  bool newConnection_ = false;
  bool diedOnKeptConnection_ = false;
  curl::ServerConnections* server_ = nullptr;
  Exchange x_;
  // Kept alive for as long as the easy handle refers to them.
  curl::HeaderList headers_;
  std::string url_;
  std::string userAgent_;
  std::shared_ptr<const std::string> extraCas_;
  // Declared last so that it goes first.
  curl::EasyHandle easy_;
};

}  // namespace

bool HttpTransportReady() {
  return curl::GlobalInit();
}

HttpResponse PerformHttpTransfer(const HttpTransfer& transfer) {
  {
    Transfer kept(transfer);
    HttpResponse response = kept.Run();
    if (!kept.DiedOnKeptConnection()) return response;
  }
  Transfer fresh(transfer);
  fresh.UseNewConnection();
  return fresh.Run();
}

namespace {

// A HEAD request for "/" on a new connection, which stays open afterwards
// for the requests to come.
class ConnectionOpener : public curl::DetachedTransfer {
 public:
  explicit ConnectionOpener(HttpTransfer request) : request_(std::move(request)) {
    transfer_.UseNewConnection();
    prepared_ = transfer_.Prepare();
  }
  CURL* Easy() override { return prepared_ ? transfer_.Easy() : nullptr; }

 private:
  const HttpTransfer request_;
  Transfer transfer_{request_};
  bool prepared_ = false;
};

}  // namespace

void PrepareConnections(std::string_view url, int count) {
  HttpTransfer request;
  request.https = LowerAscii(LeftText(url, 5)) == "https";
  request.host = UrlHost(url);
  request.port = UrlPort(url);
  if (request.port == 0) request.port = request.https ? 443 : 80;
  request.verb = "HEAD";
  if (count < 1 || !Transfer(request).Resolvable() || !HttpTransportReady()) return;
  curl::KeepConnectionsReady(curl::ConnectionsTo(ServerOf(request)), count,
                             [request] { return std::make_unique<ConnectionOpener>(request); });
}

}  // namespace qa
