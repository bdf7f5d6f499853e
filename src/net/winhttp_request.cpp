#include "net/winhttp_request.h"

#include <chrono>
#include <optional>

#include "encoding/codepage.h"
#include "net/cookies.h"
#include "net/detect_charset_and_convert.h"
#include "net/http_transport.h"
#include "net/proxy_list.h"
#include "net/request_target.h"

namespace qa {

namespace {

constexpr std::string_view kCrlf = "\r\n";
constexpr std::string_view kVerbs[] = {"GET", "POST", "HEAD", "PUT"};

struct DefaultHeader {
  std::string_view lacking;  // the block gets the line when it lacks this text
  bool ignoreCase;
  std::string_view line;
};

constexpr DefaultHeader kDefaultHeaders[] = {
    {"User-Agent: ", true,
     "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n"},
    {"Accept: ", true, "Accept: text/html, application/xhtml+xml, */*\r\n"},
    {"Accept-Encoding: ", true, "Accept-Encoding: gbk, GB2312\r\n"},
    {"Accept-Language: ", true, "Accept-Language: zh-cn\r\n"},
    {"Content-Type:", false, "Content-Type: application/x-www-form-urlencoded\r\n"},
    {"Cache-Control: ", true, "Cache-Control: no-cache\r\n"},
};

Text HeaderBlockFor(std::string_view headers, const Text* sendCookies) {
  Text block(headers);
  if (!block.empty()) block += kCrlf;
  for (const DefaultHeader& row : kDefaultHeaders) {
    if (!ContainsText(block, row.lacking, row.ignoreCase)) block += row.line;
  }
  if (!ContainsText(block, "Cookie: ", true) && sendCookies && !sendCookies->empty()) {
    block += "Cookie: " + *sendCookies + Text(kCrlf);
  }
  return block;
}

// The lines of the block added to a request with "add, or replace": one line
// per header name (compared ignoring case) at the place of its first line, as
// its last line was written; a line with an empty value removes the header.
// Nothing when a line is not of the form "Name: value".
std::optional<TextArray> AddOrReplaceHeaders(std::string_view block) {
  TextArray lines;
  auto nameOf = [](std::string_view line) { return TrimText(line.substr(0, line.find(':'))); };
  for (const Text& line : SplitText(block, kCrlf)) {
    if (line.empty()) continue;
    std::size_t colon = line.find(':');
    if (colon == Text::npos) return std::nullopt;
    Text name = nameOf(line);
    if (name.empty()) return std::nullopt;
    const bool removes = TrimText(std::string_view(line).substr(colon + 1)).empty();
    bool placed = false;
    for (auto it = lines.begin(); it != lines.end();) {
      if (!EqualsIgnoreCase(nameOf(*it), name)) {
        ++it;
      } else if (removes || placed) {
        it = lines.erase(it);
      } else {
        *it = line;
        placed = true;
        ++it;
      }
    }
    if (!removes && !placed) lines.push_back(line);
  }
  return lines;
}

// The status code and reason phrase: the status line from its tenth byte on.
Text StatusText(std::string_view headerBlock) {
  if (headerBlock.size() < 10) return {};
  int end = FindText(headerBlock, kCrlf, 10);
  std::size_t stop = end == -1 ? headerBlock.size() : static_cast<std::size_t>(end - 1);
  return Text(headerBlock.substr(9, stop > 9 ? stop - 9 : 0));
}

}  // namespace

Text WinHttpMessage(int number) {
  switch (number) {
    case 700:  // 当前系统不支持WinHttp服务!
      return "700 \xB5\xB1\xC7\xB0\xCF\xB5\xCD\xB3\xB2\xBB\xD6\xA7\xB3\xD6WinHttp\xB7\xFE\xCE\xF1!";
    case 701:  // 解析URL地址失败!
      return "701 \xBD\xE2\xCE\xF6URL\xB5\xD8\xD6\xB7\xCA\xA7\xB0\xDC!";
    case 702:  // 创建WinHttp会话失败!
      return "702 \xB4\xB4\xBD\xA8WinHttp\xBB\xE1\xBB\xB0\xCA\xA7\xB0\xDC!";
    case 703:  // 创建WinHttp连接失败!
      return "703 \xB4\xB4\xBD\xA8WinHttp\xC1\xAC\xBD\xD3\xCA\xA7\xB0\xDC!";
    case 704:  // 创建WinHttp请求失败!
      return "704 \xB4\xB4\xBD\xA8WinHttp\xC7\xEB\xC7\xF3\xCA\xA7\xB0\xDC!";
    case 705:  // 设置超时时间失败!
      return "705 \xC9\xE8\xD6\xC3\xB3\xAC\xCA\xB1\xCA\xB1\xBC\xE4\xCA\xA7\xB0\xDC!";
    case 707:  // 设置代理凭证失败! (server and proxy credentials alike)
      return "707 \xC9\xE8\xD6\xC3\xB4\xFA\xC0\xED\xC6\xBE\xD6\xA4\xCA\xA7\xB0\xDC!";
    case 708:  // 禁止自动设置Cookies失败!
      return "708 \xBD\xFB\xD6\xB9\xD7\xD4\xB6\xAF\xC9\xE8\xD6\xC3"
             "Cookies\xCA\xA7\xB0\xDC!";
    case 709:  // 重定向设置失败!
      return "709 \xD6\xD8\xB6\xA8\xCF\xF2\xC9\xE8\xD6\xC3\xCA\xA7\xB0\xDC!";
    case 710:  // 设置协议头失败!
      return "710 \xC9\xE8\xD6\xC3\xD0\xAD\xD2\xE9\xCD\xB7\xCA\xA7\xB0\xDC!";
    case 711:  // 发送请求失败!
      return "711 \xB7\xA2\xCB\xCD\xC7\xEB\xC7\xF3\xCA\xA7\xB0\xDC!";
    case 712:  // 服务器未响应!
      return "712 \xB7\xFE\xCE\xF1\xC6\xF7\xCE\xB4\xCF\xEC\xD3\xA6!";
    case 713:  // 读取数据失败!
      return "713 \xB6\xC1\xC8\xA1\xCA\xFD\xBE\xDD\xCA\xA7\xB0\xDC!";
    default:
      return {};
  }
}

Text WinHttpRequest(std::string_view url, const WinHttpRequestArgs& args) {
  auto fail = [&args](int number) {
    if (args.message) *args.message = WinHttpMessage(number);
    return Text();
  };
  if (!HttpTransportReady()) return fail(700);
  HttpUrlParts parts;
  if (!CrackHttpUrl(url, parts)) return fail(701);

  HttpTransfer transfer;
  transfer.https = parts.https;
  transfer.host = parts.host;
  transfer.port = parts.port;
  // The object travels as UTF-8 where it is not ASCII.
  transfer.target = EscapeRequestTarget(AnsiToUtf8(parts.object));
  transfer.verb = Text(kVerbs[args.method >= 0 && args.method <= 3 ? args.method : 0]);
  if (args.timeoutSeconds > 0) {
    transfer.phaseTimeout = std::chrono::seconds(args.timeoutSeconds);
  }
  std::optional<TextArray> lines =
      AddOrReplaceHeaders(HeaderBlockFor(args.headers, args.sendCookies));
  if (!lines) return fail(710);
  transfer.headerLines = std::move(*lines);
  transfer.body = Text(args.postText);
  transfer.followRedirects = !args.noRedirect;
  transfer.proxy = ProxyForScheme(ProxyListForUrl(args.proxy, parts.https), parts.https);
  transfer.serverUser = Text(args.userName);
  transfer.serverPassword = Text(args.password);
  transfer.proxyUser = Text(args.proxyUser);
  transfer.proxyPassword = Text(args.proxyPassword);
  transfer.cookies = args.sendCookies ? CookieHandling::kWithinCall : CookieHandling::kNone;

  HttpResponse response = PerformHttpTransfer(transfer);
  switch (response.failure) {
    case TransferFailure::kUnavailable:
      return fail(702);
    case TransferFailure::kSend:
      return fail(711);
    case TransferFailure::kNoResponse:
      return fail(712);
    case TransferFailure::kBrokenBody:
    case TransferFailure::kNone:
      break;
  }

  Text receivedHeaders = std::move(response.headerBlock);
  // A body that broke off keeps its message; the status line would claim success.
  Text message = response.failure == TransferFailure::kBrokenBody ? WinHttpMessage(713)
                                                                  : StatusText(receivedHeaders);
  Text receivedCookies = CollectReceivedCookies(receivedHeaders);
  for (const Text& line : SplitText(receivedHeaders, kCrlf)) {
    if (line.size() >= 10 && EqualsIgnoreCase(std::string_view(line).substr(0, 10), "Location: ")) {
      if (args.location) *args.location = line.substr(10);
    }
  }
  if (args.sendCookies) MergeCookies(*args.sendCookies, receivedCookies);
  Text text = DetectCharsetAndConvert(response.body);

  if (args.receivedCookies) *args.receivedCookies = std::move(receivedCookies);
  if (args.receivedHeaders) *args.receivedHeaders = std::move(receivedHeaders);
  if (args.message) *args.message = std::move(message);
  if (args.receivedBytes) *args.receivedBytes = std::move(response.body);
  return text;
}

}  // namespace qa
