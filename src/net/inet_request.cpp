#include "net/inet_request.h"

#include "net/cookies.h"
#include "net/header_text.h"
#include "net/http_transport.h"
#include "net/proxy_list.h"
#include "net/request_target.h"
#include "net/url.h"

namespace qa {

namespace {

constexpr std::string_view kDefaultUserAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
constexpr std::string_view kCrlf = "\r\n";
// What the received headers hold when no response header block arrived.
constexpr std::size_t kNoHeadersLength = 5000;

constexpr std::string_view kVerbs[] = {"GET", "POST", "HEAD"};

// The agent: the caller's "User-Agent:" line when there is one (its line is
// sent as well), else the default.
Text UserAgentFor(std::string_view headers) {
  if (!ContainsText(headers, "User-Agent:", true)) return Text(kDefaultUserAgent);
  Text agent = TrimText(TextBetween(headers, "User-Agent:", kCrlf));
  return agent.empty() ? ValueAfterColon(headers) : agent;
}

// The caller's lines, then each default line the block lacks (case-sensitive
// search of the whole block), then the caller's cookie list.
Text HeaderBlockFor(Text block, std::string_view url, const Text* sendCookies) {
  auto appendLine = [&block](std::string_view line) {
    if (!block.empty()) block += kCrlf;
    block += line;
  };
  if (!ContainsText(block, "Accept:")) appendLine("Accept: */*");
  if (!ContainsText(block, "Referer:")) appendLine("Referer: " + Text(url));
  if (!ContainsText(block, "Accept-Language:")) appendLine("Accept-Language: zh-cn");
  if (!ContainsText(block, "Content-Type:")) {
    appendLine("Content-Type: application/x-www-form-urlencoded");
  }
  if (sendCookies && !sendCookies->empty()) appendLine("Cookie: " + *sendCookies);
  return block;
}

}  // namespace

Bytes InetRequest(std::string_view url, const InetRequestArgs& args) {
  const int method = args.method < 0 || args.method > 2 ? 0 : args.method;
  const bool https = LowerAscii(LeftText(url, 5)) == "https";
  const Text callerHeaders = args.headers ? *args.headers : Text();

  HttpTransfer transfer;
  transfer.https = https;
  transfer.host = UrlHost(url);
  transfer.port = UrlPort(url);
  if (transfer.port == 0) transfer.port = https ? 443 : 80;  // no port: the scheme's own
  if (transfer.host.empty() || transfer.port < 1 || transfer.port > 65535 ||
      !HttpTransportReady()) {
    return {};  // nothing to connect to: every argument stays as it was
  }
  transfer.target = EscapeRequestTarget(UrlPath(url));
  transfer.verb = Text(kVerbs[method]);
  transfer.userAgent = UserAgentFor(callerHeaders);

  const Text block = HeaderBlockFor(callerHeaders, url, args.sendCookies);
  if (args.headers) *args.headers = block;
  transfer.headerLines = SplitText(block, kCrlf);

  if (method != 0) {
    Bytes localBody;
    Bytes& postBytes = args.postBytes ? *args.postBytes : localBody;
    if (postBytes.empty()) postBytes = TextToBytes(args.postText);
    transfer.body = BytesToText(postBytes);
  }
  transfer.followRedirects = !args.noRedirect;
  transfer.proxy = ProxyForScheme(ProxyListForUrl(args.proxy, https), https);
  transfer.cookies = args.sendCookies ? CookieHandling::kNone : CookieHandling::kProcessStore;

  HttpResponse response = PerformHttpTransfer(transfer);

  Text receivedHeaders =
      response.headerBlock.empty() ? Text(kNoHeadersLength, ' ') : std::move(response.headerBlock);
  Text receivedCookies = CollectReceivedCookies(receivedHeaders);
  if (args.sendCookies) MergeCookies(*args.sendCookies, receivedCookies);
  if (args.receivedHeaders) *args.receivedHeaders = std::move(receivedHeaders);
  if (args.receivedCookies) *args.receivedCookies = std::move(receivedCookies);
  return std::move(response.body);
}

}  // namespace qa
