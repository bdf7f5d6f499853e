#include "net/winhttp_request.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

#include "encoding/base64.h"
#include "http_test_helpers.h"
#include "http_test_routes.h"
#include "net/inet_request.h"
#include "raw_recorder.h"
#include "stand_in_server.h"

namespace qa {
namespace {

using namespace std::chrono_literals;
using test::RawRecorder;
using test::RawReply;
using test::RecordedRequest;
using test::StandInServer;

constexpr char kDefaultLines[] =
    "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n"
    "Accept: text/html, application/xhtml+xml, */*\r\n"
    "Accept-Encoding: gbk, GB2312\r\n"
    "Accept-Language: zh-cn\r\n"
    "Content-Type: application/x-www-form-urlencoded\r\n"
    "Cache-Control: no-cache\r\n";

std::vector<std::string> Lines(std::string_view block) {
  std::vector<std::string> lines;
  for (const Text& line : SplitText(block, "\r\n")) lines.push_back(line);
  return lines;
}

std::string Without(std::string text, std::string_view line) {
  std::size_t pos = text.find(line);
  if (pos != std::string::npos) text.erase(pos, line.size());
  return text;
}

struct WireCase {
  std::string name{};
  int method = 0;
  std::string postText{};
  std::string headers{};
  std::optional<std::string> sendCookies{};
  std::string userName{};
  std::string password{};
  std::string requestLine{};
  std::string headerLines{};  // after the Host line, each ending in CRLF
  std::string body{};
};

TEST(WinHttpRequestWire, HeaderBlocksMethodsAndBodies) {
  const std::string lines = kDefaultLines;
  const std::string ua =
      "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n";
  const std::string ct = "Content-Type: application/x-www-form-urlencoded\r\n";
  const WireCase cases[] = {
      {.name = "defaults", .requestLine = "GET /s?wd=x HTTP/1.1", .headerLines = lines},
      {.name = "POST",
       .method = 1,
       .postText = "a=1",
       .requestLine = "POST /s?wd=x HTTP/1.1",
       .headerLines = lines + "Content-Length: 3\r\n",
       .body = "a=1"},
      {.name = "empty POST",
       .method = 1,
       .requestLine = "POST /s?wd=x HTTP/1.1",
       .headerLines = lines + "Content-Length: 0\r\n"},
      {.name = "PUT",
       .method = 3,
       .postText = "put",
       .requestLine = "PUT /s?wd=x HTTP/1.1",
       .headerLines = lines + "Content-Length: 3\r\n",
       .body = "put"},
      {.name = "GET carries a given body",
       .postText = "g",
       .requestLine = "GET /s?wd=x HTTP/1.1",
       .headerLines = lines + "Content-Length: 1\r\n",
       .body = "g"},
      {.name = "HEAD", .method = 2, .requestLine = "HEAD /s?wd=x HTTP/1.1", .headerLines = lines},
      {.name = "method 7",
       .method = 7,
       .requestLine = "GET /s?wd=x HTTP/1.1",
       .headerLines = lines},
      {.name = "method -1",
       .method = -1,
       .requestLine = "GET /s?wd=x HTTP/1.1",
       .headerLines = lines},
      {.name = "caller's agent in lower case keeps the default out",
       .headers = "user-agent: X",
       .requestLine = "GET /s?wd=x HTTP/1.1",
       .headerLines = "user-agent: X\r\n" + Without(lines, ua)},
      // The Content-Type search is case-sensitive, so the default line is
      // added too; added "or replaced", it takes the caller's line's place.
      {.name = "caller's content type in lower case",
       .headers = "content-type: text/plain",
       .requestLine = "GET /s?wd=x HTTP/1.1",
       .headerLines = ct + Without(lines, ct)},
      {.name = "a later line of the same name replaces an earlier one",
       .headers = "X-A: 1\r\nX-B: 2\r\nx-a: 3",
       .requestLine = "GET /s?wd=x HTTP/1.1",
       .headerLines = "x-a: 3\r\nX-B: 2\r\n" + lines},
      {.name = "a line with an empty value removes the header",
       .headers = "X-A: 1\r\nX-A:",
       .requestLine = "GET /s?wd=x HTTP/1.1",
       .headerLines = lines},
      {.name = "supplied cookies",
       .sendCookies = "a=1",
       .requestLine = "GET /s?wd=x HTTP/1.1",
       .headerLines = lines + "Cookie: a=1\r\n"},
      {.name = "caller's cookie line wins over the supplied list",
       .headers = "COOKIE: b=2",
       .sendCookies = "a=1",
       .requestLine = "GET /s?wd=x HTTP/1.1",
       .headerLines = "COOKIE: b=2\r\n" + lines},
      {.name = "supplied empty cookies",
       .sendCookies = "",
       .requestLine = "GET /s?wd=x HTTP/1.1",
       .headerLines = lines},
      {.name = "server credentials",
       .userName = "user",
       .password = "pass word",
       .requestLine = "GET /s?wd=x HTTP/1.1",
       .headerLines = "Authorization: Basic " + Base64Encode(std::string_view("user:pass word")) +
                      "\r\n" + lines},
      {.name = "a user name without password sets no credentials",
       .userName = "user",
       .requestLine = "GET /s?wd=x HTTP/1.1",
       .headerLines = lines},
  };

  RawRecorder recorder;
  ASSERT_TRUE(recorder.Ok());
  const std::string url = recorder.BaseUrl() + "/s?wd=x";
  for (const WireCase& c : cases) {
    SCOPED_TRACE(c.name);
    Text cookies = c.sendCookies.value_or("");
    Text message;
    Text text = WinHttpRequest(url, {.method = c.method,
                                     .postText = c.postText,
                                     .sendCookies = c.sendCookies ? &cookies : nullptr,
                                     .headers = c.headers,
                                     .userName = c.userName,
                                     .password = c.password,
                                     .message = &message});
    const RecordedRequest sent = recorder.LastRequest();
    EXPECT_EQ(sent.RequestLine(), c.requestLine);
    std::vector<std::string> expected = {"Host: 127.0.0.1:" + std::to_string(recorder.Port())};
    for (const std::string& line : Lines(c.headerLines)) expected.push_back(line);
    EXPECT_EQ(sent.HeaderLines(), expected);
    EXPECT_EQ(sent.body, c.body);
    EXPECT_EQ(message, "200 OK");
    EXPECT_EQ(text, c.method == 2 ? "" : "ok");
  }
}

TEST(WinHttpRequestWire, ObjectNames) {
  RawRecorder recorder;
  const std::string base = recorder.BaseUrl();
  const std::pair<std::string, std::string> cases[] = {
      {base, "/"},
      {base + "/s?wd=x", "/s?wd=x"},
      // An empty path gives "/" alone, even with a query after the host.
      {base + "?wd=x", "/"},
      {base + "/a#fragment", "/a"},
      // Characters a request line cannot carry travel percent-encoded as UTF-8.
      {base + "/s?wd=\xD6\xD0 x", "/s?wd=%E4%B8%AD%20x"},  // 中
      {base + "/Keep%41/../{x}", "/Keep%41/../{x}"},
  };
  for (const auto& [url, target] : cases) {
    WinHttpRequest(url);
    EXPECT_EQ(recorder.LastRequest().RequestLine(), "GET " + target + " HTTP/1.1") << url;
  }
}

TEST(WinHttpRequest, UrlsThatCannotBeSplit) {
  for (std::string url : {"", "www.example.com/s", "ftp://127.0.0.1/", "http:///x",
                          "http://127.0.0.1:abc/", "http://127.0.0.1:70000/"}) {
    Text message, headers = "h", location = "l";
    Bytes bytes = {1};
    Text text = WinHttpRequest(url, {.receivedHeaders = &headers,
                                     .location = &location,
                                     .message = &message,
                                     .receivedBytes = &bytes});
    EXPECT_EQ(text, "") << url;
    EXPECT_EQ(message, WinHttpMessage(701)) << url;
    EXPECT_EQ(headers, "h") << url;
    EXPECT_EQ(location, "l") << url;
    EXPECT_EQ(bytes, Bytes{1}) << url;
  }
  EXPECT_EQ(WinHttpMessage(701),
            "701 \xBD\xE2\xCE\xF6URL\xB5\xD8\xD6\xB7\xCA\xA7\xB0\xDC!");  // 解析URL地址失败!
}

TEST(WinHttpRequest, RedirectResponseWhenNotFollowing) {
  RawRecorder recorder([](const RecordedRequest&) {
    return RawReply::Response("HTTP/1.1 302 Found",
                              {"Location: /first", "location: /next", "set-cookie: s=1; path=/"},
                              "moved");
  });
  Text message, location, cookies, headers;
  Bytes bytes;
  Text text = WinHttpRequest(recorder.BaseUrl() + "/", {.receivedCookies = &cookies,
                                                        .receivedHeaders = &headers,
                                                        .noRedirect = true,
                                                        .location = &location,
                                                        .message = &message,
                                                        .receivedBytes = &bytes});
  EXPECT_EQ(message, "302 Found");
  EXPECT_EQ(location, "/next");  // the last Location line wins
  EXPECT_EQ(cookies, "s=1");
  EXPECT_EQ(headers,
            "HTTP/1.1 302 Found\r\nLocation: /first\r\nlocation: /next\r\n"
            "Set-Cookie: s=1; path=/\r\nContent-Length: 5\r\n\r\n");
  EXPECT_EQ(text, "moved");
  EXPECT_EQ(BytesToText(bytes), "moved");
}

TEST(WinHttpRequest, FollowsRedirectsAndReportsTheFinalResponse) {
  const test::TestCa& ca = test::TrustTestCa();
  StandInServer plain;
  StandInServer secure(ca);
  test::AddHttpTestRoutes(plain);
  test::AddHttpTestRoutes(secure);
  ASSERT_TRUE(plain.Start());
  ASSERT_TRUE(secure.Start());
  Text message, location = "unchanged", cookies;
  Text text =
      WinHttpRequest(plain.BaseUrl() + "/redirect/2",
                     {.receivedCookies = &cookies, .location = &location, .message = &message});
  EXPECT_EQ(text, "final");
  EXPECT_EQ(message, "200 OK");
  EXPECT_EQ(location, "unchanged");
  EXPECT_EQ(cookies, "final=1");

  text = WinHttpRequest(plain.BaseUrl() + "/redirect-to?url=" + secure.BaseUrl() + "/hello");
  EXPECT_EQ(text, "hello");
  text = WinHttpRequest(secure.BaseUrl() + "/redirect-to?url=" + plain.BaseUrl() + "/hello",
                        {.message = &message});
  EXPECT_EQ(text, "");
  EXPECT_EQ(message, "302 Found");
}

TEST(WinHttpRequest, ErrorStatusesReturnTheirPages) {
  StandInServer server;
  test::AddHttpTestRoutes(server);
  ASSERT_TRUE(server.Start());
  const std::pair<int, std::string> cases[] = {
      {404, "404 Not Found"}, {500, "500 Internal Server Error"}, {201, "201 Created"}};
  for (const auto& [status, statusText] : cases) {
    Text message;
    Text text = WinHttpRequest(server.BaseUrl() + "/status/" + std::to_string(status),
                               {.message = &message});
    EXPECT_EQ(text, "status " + std::to_string(status));
    EXPECT_EQ(message, statusText);
  }
}

TEST(WinHttpRequest, PagesAreDecodedByTheirDeclaredCharset) {
  StandInServer server(test::TrustTestCa());
  test::AddHttpTestRoutes(server);
  ASSERT_TRUE(server.Start());
  const std::pair<std::string, bool> cases[] = {{"utf8-meta", true},
                                                {"gbk-meta", false},
                                                {"GBK-caps", false},
                                                {"late-meta", false},
                                                {"none", false}};
  for (const auto& [page, decoded] : cases) {
    Bytes bytes;
    Text text = WinHttpRequest(server.BaseUrl() + "/charset/" + page, {.receivedBytes = &bytes});
    EXPECT_EQ(BytesToText(bytes), test::CharsetPage(page)) << page;
    if (decoded) {
      EXPECT_TRUE(ContainsText(text, test::kPageWordsGbk)) << page;
      EXPECT_FALSE(ContainsText(text, test::kPageWordsUtf8)) << page;
    } else {
      EXPECT_EQ(text, test::CharsetPage(page)) << page;
    }
  }
  Bytes bytes;
  EXPECT_EQ(WinHttpRequest(server.BaseUrl() + "/zero-byte", {.receivedBytes = &bytes}), "abc");
  EXPECT_EQ(BytesToText(bytes), std::string("abc\0def", 7));
}

// With no cookie list, no cookie travels but the caller's lines and nothing is
// stored; with one (even empty) cookies set along a redirect chain travel on
// its later requests, within the call only.
TEST(WinHttpRequest, CookieHandling) {
  StandInServer server;
  test::AddHttpTestRoutes(server);
  ASSERT_TRUE(server.Start());
  ClearStoredCookies();
  const std::string url = server.BaseUrl() + "/redirect-with-cookie";

  EXPECT_EQ(WinHttpRequest(url), "");
  EXPECT_EQ(WinHttpRequest(url, {.headers = "Cookie: mine=1"}), "mine=1");
  Text cookies;
  EXPECT_EQ(WinHttpRequest(url, {.sendCookies = &cookies}), "hop=1");
  EXPECT_EQ(cookies, "");
  cookies = "a=1";
  EXPECT_EQ(WinHttpRequest(url, {.sendCookies = &cookies}), "hop=1 | a=1");
  EXPECT_EQ(cookies, "a=1");

  cookies = "a=1; b=2";
  Text received;
  WinHttpRequest(server.BaseUrl() + "/set-cookie?b=3",
                 {.sendCookies = &cookies, .receivedCookies = &received});
  EXPECT_EQ(cookies, "b=3; a=1");
  EXPECT_EQ(received, "b=3");

  // Nothing reaches the store the other request operation keeps.
  WinHttpRequest(server.BaseUrl() + "/set-cookie?w=1");
  EXPECT_EQ(BytesToText(InetRequest(server.BaseUrl() + "/cookies")), "");
}

TEST(WinHttpRequest, ProxyAndItsCredentials) {
  RawRecorder proxy([](const RecordedRequest&) {
    RawReply reply = RawReply::Response("HTTP/1.1 403 Forbidden", {}, "");
    reply.end = RawReply::End::kClose;
    return reply;
  });
  WinHttpRequest("http://example.invalid/s?wd=1",
                 {.proxy = proxy.HostAndPort(), .proxyUser = "pu", .proxyPassword = "pp"});
  RecordedRequest sent = proxy.LastRequest();
  EXPECT_EQ(sent.RequestLine(), "GET http://example.invalid/s?wd=1 HTTP/1.1");
  EXPECT_EQ(sent.Header("Proxy-Authorization"), "Basic " + Base64Encode(std::string_view("pu:pp")));
  EXPECT_EQ(sent.Header("Cache-Control"), "no-cache");

  WinHttpRequest("https://example.invalid/s", {.proxy = proxy.HostAndPort()});
  sent = proxy.LastRequest();
  EXPECT_EQ(sent.RequestLine(), "CONNECT example.invalid:443 HTTP/1.1");
  EXPECT_EQ(sent.HeaderCount("Proxy-Authorization"), 0);

  // A proxy user without password sets no proxy credentials.
  WinHttpRequest("http://example.invalid/", {.proxy = proxy.HostAndPort(), .proxyUser = "pu"});
  EXPECT_EQ(proxy.LastRequest().HeaderCount("Proxy-Authorization"), 0);
}

TEST(WinHttpRequest, HttpsUsesHttp11AndTheDefaultBlock) {
  StandInServer server(test::TrustTestCa());
  test::AddHttpTestRoutes(server);
  ASSERT_TRUE(server.Start());
  Text message, headers;
  Text echo = WinHttpRequest(server.BaseUrl() + "/echo",
                             {.receivedHeaders = &headers, .message = &message});
  EXPECT_EQ(message, "200 OK");
  EXPECT_TRUE(headers.starts_with("HTTP/1.1 200 OK\r\n")) << headers;
  EXPECT_TRUE(echo.starts_with("GET /echo\n")) << echo;
  for (const std::string& line : Lines(kDefaultLines)) {
    EXPECT_TRUE(ContainsText(echo, "\n" + line + "\n")) << line;
  }
}

// Failures before a response give the empty result, the numbered message and
// no other output; a body that breaks off keeps 713 and everything that came.
TEST(WinHttpRequest, Failures) {
  test::ScopedPhaseTimeout shortPhases(400ms);
  test::TrustTestCa();
  test::TestCa untrusted;
  ASSERT_TRUE(untrusted.Ok());
  StandInServer badCertificate(untrusted);
  StandInServer server;
  test::AddHttpTestRoutes(badCertificate);
  test::AddHttpTestRoutes(server);
  ASSERT_TRUE(badCertificate.Start());
  ASSERT_TRUE(server.Start());
  auto script = [](std::string bytes, RawReply::End end) {
    return [bytes, end](const RecordedRequest&) {
      RawReply reply;
      reply.bytes = bytes;
      reply.pauseBeforeEnd = 100ms;
      reply.end = end;
      return reply;
    };
  };
  RawRecorder silent(script("", RawReply::End::kClose));
  RawRecorder stalled(script("", RawReply::End::kStall));
  RawRecorder notHttp(script("HELLO THERE\r\n\r\n", RawReply::End::kClose));
  const std::string halfBody =
      "HTTP/1.1 200 OK\r\nContent-Length: 2000\r\n\r\n" + std::string(1000, 'r');
  RawRecorder resetting(script(halfBody, RawReply::End::kReset));
  RawRecorder stallingBody(script(halfBody, RawReply::End::kStall));

  struct Case {
    std::string name;
    std::string url;
    int message;
    std::string text;
  };
  const Case cases[] = {
      {"refused", "http://127.0.0.1:" + std::to_string(test::UnusedPort()) + "/", 711, ""},
      {"untrusted certificate", badCertificate.BaseUrl() + "/hello", 711, ""},
      {"host name that cannot exist", "http://no_such host/", 711, ""},
      {"closed without a word", silent.BaseUrl() + "/", 712, ""},
      {"stalled before the headers", stalled.BaseUrl() + "/", 712, ""},
      {"stalled server", server.BaseUrl() + "/stall", 712, ""},
      {"not an HTTP answer", notHttp.BaseUrl() + "/", 712, ""},
      {"reset mid-body", resetting.BaseUrl() + "/", 713, std::string(1000, 'r')},
      {"stalled mid-body", stallingBody.BaseUrl() + "/", 713, std::string(1000, 'r')},
      {"closed mid-body", server.BaseUrl() + "/half-body", 713, std::string(1000, 'x')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Text message, headers = "h", cookies = "a=1", received = "r";
    Bytes bytes = {1};
    test::StopWatch watch;
    Text text = WinHttpRequest(c.url, {.sendCookies = &cookies,
                                       .receivedCookies = &received,
                                       .receivedHeaders = &headers,
                                       .message = &message,
                                       .receivedBytes = &bytes});
    EXPECT_LT(watch.Elapsed(), 2500ms);
    EXPECT_EQ(message, WinHttpMessage(c.message));
    EXPECT_EQ(text, c.text);
    if (c.message == 713) {
      EXPECT_TRUE(headers.starts_with("HTTP/1.1 200 OK\r\n")) << headers;
      EXPECT_EQ(BytesToText(bytes), c.text);
      EXPECT_EQ(received, "");
      EXPECT_EQ(cookies, "a=1");
    } else {
      EXPECT_EQ(headers, "h");
      EXPECT_EQ(bytes, Bytes{1});
      EXPECT_EQ(received, "r");
      EXPECT_EQ(cookies, "a=1");
    }
  }
}

// Each phase may last `timeoutSeconds`, or the default when it is 0 or less.
TEST(WinHttpRequest, TimeoutSeconds) {
  RawRecorder stalled([](const RecordedRequest&) {
    RawReply reply;
    reply.end = RawReply::End::kStall;
    return reply;
  });
  test::ScopedPhaseTimeout shortDefault(300ms);
  const std::pair<int, std::chrono::milliseconds> cases[] = {{1, 1000ms}, {0, 300ms}, {-1, 300ms}};
  for (const auto& [seconds, expected] : cases) {
    Text message;
    test::StopWatch watch;
    WinHttpRequest(stalled.BaseUrl() + "/", {.timeoutSeconds = seconds, .message = &message});
    EXPECT_EQ(message, WinHttpMessage(712)) << seconds;
    EXPECT_GE(watch.Elapsed(), expected - 50ms) << seconds;
    EXPECT_LT(watch.Elapsed(), expected + 1000ms) << seconds;
  }
}

// Scoring workers fetch pages on several threads while the window's thread
// uses the shared cookie store.
TEST(WinHttpRequest, RequestsOnSeveralThreadsAtOnce) {
  StandInServer server(test::TrustTestCa());
  test::AddHttpTestRoutes(server);
  ASSERT_TRUE(server.Start());
  ClearStoredCookies();
  const Text expected = WinHttpRequest(server.BaseUrl() + "/charset/utf8-meta");
  ASSERT_TRUE(ContainsText(expected, test::kPageWordsGbk));
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 5; ++i) {
        if (WinHttpRequest(server.BaseUrl() + "/charset/utf8-meta") != expected) ++wrong;
      }
    });
  }
  threads.emplace_back([&] {
    for (int i = 0; i < 5; ++i) {
      InetRequest(server.BaseUrl() + "/set-cookie?c" + std::to_string(i) + "=1");
    }
  });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong, 0);
  TextArray stored = SplitText(BytesToText(InetRequest(server.BaseUrl() + "/cookies")), "; ");
  EXPECT_EQ(stored.size(), 5u);
}

TEST(WinHttpMessage, NumberedMessages) {
  // 发送请求失败! and 服务器未响应!
  EXPECT_EQ(WinHttpMessage(711), "711 \xB7\xA2\xCB\xCD\xC7\xEB\xC7\xF3\xCA\xA7\xB0\xDC!");
  EXPECT_EQ(WinHttpMessage(712), "712 \xB7\xFE\xCE\xF1\xC6\xF7\xCE\xB4\xCF\xEC\xD3\xA6!");
  EXPECT_EQ(WinHttpMessage(706), "");  // no message carries 706
  for (int n : {700, 701, 702, 703, 704, 705, 707, 708, 709, 710, 711, 712, 713}) {
    EXPECT_TRUE(WinHttpMessage(n).starts_with(std::to_string(n) + " ")) << n;
  }
}

}  // namespace
}  // namespace qa
