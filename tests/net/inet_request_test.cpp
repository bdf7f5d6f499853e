#include "net/inet_request.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "http_test_helpers.h"
#include "http_test_routes.h"
#include "raw_recorder.h"
#include "stand_in_server.h"

namespace qa {
namespace {

using namespace std::chrono_literals;
using test::RawRecorder;
using test::RawReply;
using test::RecordedRequest;
using test::StandInServer;

constexpr char kAgent[] = "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
constexpr char kDefaultBlock[] =
    "Accept: */*\r\nReferer: {url}\r\nAccept-Language: zh-cn\r\n"
    "Content-Type: application/x-www-form-urlencoded";

std::vector<std::string> Lines(std::string_view block) {
  std::vector<std::string> lines;
  for (const Text& line : SplitText(block, "\r\n")) lines.push_back(line);
  return lines;
}

struct WireCase {
  std::string name{};
  int method = 0;
  std::string postText{};
  std::optional<std::string> postBytes{};  // nullopt: omitted
  std::string headers{};
  std::optional<std::string> sendCookies{};  // nullopt: omitted
  // Expected, with {url} and {host} filled in.
  std::string requestLine{};
  std::string headerLines{};  // after the Host line, joined by CRLF
  std::string body{};
  std::string headersAfter{};
  std::optional<std::string> postBytesAfter{};
};

// The exact request line, header block and body that go out.
TEST(InetRequestWire, HeaderBlocksMethodsAndBodies) {
  const std::string block = kDefaultBlock;
  const std::string agent = kAgent;
  const WireCase cases[] = {
      {.name = "defaults",
       .requestLine = "GET /p?q=1 HTTP/1.1",
       .headerLines = agent + "\r\n" + block,
       .headersAfter = block},
      {.name = "method 7 is GET",
       .method = 7,
       .requestLine = "GET /p?q=1 HTTP/1.1",
       .headerLines = agent + "\r\n" + block,
       .headersAfter = block},
      {.name = "GET sends no body",
       .postText = "x=1",
       .postBytes = "",
       .requestLine = "GET /p?q=1 HTTP/1.1",
       .headerLines = agent + "\r\n" + block,
       .headersAfter = block,
       .postBytesAfter = ""},
      {.name = "POST of the text fills the caller's bytes",
       .method = 1,
       .postText = "image=abc",
       .postBytes = "",
       .requestLine = "POST /p?q=1 HTTP/1.1",
       .headerLines = agent + "\r\n" + block + "\r\nContent-Length: 9",
       .body = "image=abc",
       .headersAfter = block,
       .postBytesAfter = "image=abc"},
      {.name = "POST prefers the bytes",
       .method = 1,
       .postText = "ignored",
       .postBytes = std::string("b\0b", 3),
       .requestLine = "POST /p?q=1 HTTP/1.1",
       .headerLines = agent + "\r\n" + block + "\r\nContent-Length: 3",
       .body = std::string("b\0b", 3),
       .headersAfter = block,
       .postBytesAfter = std::string("b\0b", 3)},
      {.name = "empty POST",
       .method = 1,
       .requestLine = "POST /p?q=1 HTTP/1.1",
       .headerLines = agent + "\r\n" + block + "\r\nContent-Length: 0",
       .headersAfter = block},
      {.name = "HEAD",
       .method = 2,
       .postText = "abc",
       .postBytes = "",
       .requestLine = "HEAD /p?q=1 HTTP/1.1",
       .headerLines = agent + "\r\n" + block,
       .headersAfter = block,
       .postBytesAfter = "abc"},
      {.name = "caller's Accept line",
       .headers = "Accept: text/html",
       .requestLine = "GET /p?q=1 HTTP/1.1",
       .headerLines = agent +
                      "\r\nAccept: text/html\r\nReferer: {url}\r\nAccept-Language: zh-cn\r\n"
                      "Content-Type: application/x-www-form-urlencoded",
       .headersAfter = "Accept: text/html\r\nReferer: {url}\r\nAccept-Language: zh-cn\r\n"
                       "Content-Type: application/x-www-form-urlencoded"},
      {.name = "the Accept search is case-sensitive",
       .headers = "accept: text/html",
       .requestLine = "GET /p?q=1 HTTP/1.1",
       .headerLines = agent + "\r\naccept: text/html\r\n" + block,
       .headersAfter = "accept: text/html\r\n" + block},
      {.name = "caller's agent by the value after the colon",
       .headers = "User-Agent: Foo/1.0",
       .requestLine = "GET /p?q=1 HTTP/1.1",
       .headerLines = "User-Agent: Foo/1.0\r\n" + block,
       .headersAfter = "User-Agent: Foo/1.0\r\n" + block},
      {.name = "caller's agent in lower case",
       .headers = "user-agent: Foo/1.0",
       .requestLine = "GET /p?q=1 HTTP/1.1",
       .headerLines = "user-agent: Foo/1.0\r\n" + block,
       .headersAfter = "user-agent: Foo/1.0\r\n" + block},
      {.name = "caller's agent and Accept",
       .headers = "User-Agent: Foo/1.0\r\nAccept: */*",
       .requestLine = "GET /p?q=1 HTTP/1.1",
       .headerLines = "User-Agent: Foo/1.0\r\n" + block,
       .headersAfter = "User-Agent: Foo/1.0\r\n" + block},
      {.name = "caller's line with an empty value goes out as written",
       .headers = "X-Empty:",
       .requestLine = "GET /p?q=1 HTTP/1.1",
       .headerLines = agent + "\r\nX-Empty:\r\n" + block,
       .headersAfter = "X-Empty:\r\n" + block},
      {.name = "supplied cookies",
       .sendCookies = "a=1; b=2",
       .requestLine = "GET /p?q=1 HTTP/1.1",
       .headerLines = agent + "\r\n" + block + "\r\nCookie: a=1; b=2",
       .headersAfter = block + "\r\nCookie: a=1; b=2"},
      {.name = "supplied empty cookies",
       .sendCookies = "",
       .requestLine = "GET /p?q=1 HTTP/1.1",
       .headerLines = agent + "\r\n" + block,
       .headersAfter = block},
  };

  RawRecorder recorder;
  ASSERT_TRUE(recorder.Ok());
  const std::string url = recorder.BaseUrl() + "/p?q=1";
  const std::vector<std::pair<std::string, std::string>> values = {{"url", url}};
  for (const WireCase& c : cases) {
    SCOPED_TRACE(c.name);
    Text headers = c.headers;
    Bytes postBytes = c.postBytes ? TextToBytes(*c.postBytes) : Bytes();
    Text cookies = c.sendCookies.value_or("");
    Bytes body = InetRequest(url, {.method = c.method,
                                   .postText = c.postText,
                                   .sendCookies = c.sendCookies ? &cookies : nullptr,
                                   .headers = &headers,
                                   .postBytes = c.postBytes ? &postBytes : nullptr});
    const RecordedRequest sent = recorder.LastRequest();
    EXPECT_EQ(sent.RequestLine(), c.requestLine);
    std::vector<std::string> expected = {"Host: 127.0.0.1:" + std::to_string(recorder.Port())};
    for (const std::string& line : Lines(test::Fill(c.headerLines, values))) {
      expected.push_back(line);
    }
    EXPECT_EQ(sent.HeaderLines(), expected);
    EXPECT_EQ(sent.body, c.body);
    EXPECT_EQ(headers, test::Fill(c.headersAfter, values));
    if (c.postBytesAfter) {
      EXPECT_EQ(BytesToText(postBytes), *c.postBytesAfter);
    }
    EXPECT_EQ(BytesToText(body), c.method == 2 ? "" : "ok");
  }
}

// Bytes a request line cannot carry are percent-encoded; all others go as given.
TEST(InetRequestWire, RequestTargets) {
  const std::pair<std::string, std::string> cases[] = {
      {"/a b", "/a%20b"},
      {"/s?wd=\xD6\xD0", "/s?wd=%D6%D0"},  // 中 in GBK
      {"/t\x01?\x7F", "/t%01?%7F"},
      {"/Keep%41/../x?y={1}|z", "/Keep%41/../x?y={1}|z"},
      {"", "/"},
  };
  RawRecorder recorder;
  for (const auto& [path, target] : cases) {
    InetRequest(recorder.BaseUrl() + path);
    EXPECT_EQ(recorder.LastRequest().RequestLine(), "GET " + target + " HTTP/1.1") << path;
  }
}

TEST(InetRequest, ReturnsTheRawHeaderBlockAndItsCookies) {
  RawRecorder recorder([](const RecordedRequest&) {
    return RawReply::Response("HTTP/1.1 200 OK",
                              {"set-cookie: s=1; path=/", "SET-COOKIE: t=2", "X-Case: KeptAsSent"},
                              "body");
  });
  Text receivedHeaders, receivedCookies;
  Bytes body = InetRequest(recorder.BaseUrl() + "/", {.receivedCookies = &receivedCookies,
                                                      .receivedHeaders = &receivedHeaders});
  EXPECT_EQ(BytesToText(body), "body");
  EXPECT_EQ(receivedHeaders,
            "HTTP/1.1 200 OK\r\nSet-Cookie: s=1; path=/\r\nSet-Cookie: t=2\r\n"
            "X-Case: KeptAsSent\r\nContent-Length: 4\r\n\r\n");
  EXPECT_EQ(receivedCookies, "s=1; t=2");
}

// Only the final response's block is reported, always with CRLF line ends.
TEST(InetRequest, ResponsesAsTheyComeOffTheWire) {
  struct Case {
    std::string name;
    std::string reply;
    std::string headers;
    std::string body;
  };
  const Case cases[] = {
      {"interim 100 response",
       "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok",
       "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n", "ok"},
      {"bare line feeds", "HTTP/1.1 200 OK\nX-A: 1\nContent-Length: 2\n\nok",
       "HTTP/1.1 200 OK\r\nX-A: 1\r\nContent-Length: 2\r\n\r\n", "ok"},
      {"chunked body",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n2\r\nde\r\n0\r\n"
       "X-Trailer: t\r\n\r\n",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", "abcde"},
      {"body up to the end of the connection", "HTTP/1.1 200 OK\r\n\r\nuntil closed",
       "HTTP/1.1 200 OK\r\n\r\n", "until closed"},
  };
  for (const Case& c : cases) {
    RawRecorder recorder([&c](const RecordedRequest&) {
      RawReply reply;
      reply.bytes = c.reply;
      reply.end = RawReply::End::kClose;
      return reply;
    });
    Text headers;
    Bytes body = InetRequest(recorder.BaseUrl() + "/", {.receivedHeaders = &headers});
    EXPECT_EQ(headers, c.headers) << c.name;
    EXPECT_EQ(BytesToText(body), c.body) << c.name;
  }
}

// A header block of any size keeps its headers and cookies.
TEST(InetRequest, KeepsHeaderBlocksOverFiveThousandBytes) {
  RawRecorder recorder([](const RecordedRequest&) {
    std::vector<std::string> headers;
    for (int i = 0; i < 80; ++i)
      headers.push_back("X-Filler-" + std::to_string(i) + ": " + std::string(100, 'f'));
    headers.push_back("Set-Cookie: big=1; path=/");
    return RawReply::Response("HTTP/1.1 200 OK", headers, "body");
  });
  Text receivedHeaders, receivedCookies;
  Bytes body = InetRequest(recorder.BaseUrl() + "/", {.receivedCookies = &receivedCookies,
                                                      .receivedHeaders = &receivedHeaders});
  EXPECT_EQ(BytesToText(body), "body");
  EXPECT_GT(receivedHeaders.size(), 8000u);
  EXPECT_TRUE(receivedHeaders.starts_with("HTTP/1.1 200 OK\r\nX-Filler-0: "));
  EXPECT_TRUE(receivedHeaders.ends_with("Set-Cookie: big=1; path=/\r\nContent-Length: 4\r\n\r\n"));
  EXPECT_EQ(receivedCookies, "big=1");
}

TEST(InetRequest, SuppliedCookiesAreMergedWithTheReceivedOnes) {
  RawRecorder recorder([](const RecordedRequest&) {
    return RawReply::Response("HTTP/1.1 200 OK", {"Set-Cookie: b=3; path=/"}, "");
  });
  Text cookies = "a=1; b=2";
  Text received;
  InetRequest(recorder.BaseUrl() + "/", {.sendCookies = &cookies, .receivedCookies = &received});
  EXPECT_EQ(recorder.LastRequest().Header("Cookie"), "a=1; b=2");
  EXPECT_EQ(cookies, "b=3; a=1");
  EXPECT_EQ(received, "b=3");

  Text empty;
  InetRequest(recorder.BaseUrl() + "/", {.sendCookies = &empty});
  EXPECT_EQ(recorder.LastRequest().HeaderCount("Cookie"), 0);
  EXPECT_EQ(empty, "b=3");
}

// Without a cookie list of the caller's, a process-wide store keeps what
// responses set (redirect hops included) and sends it back; with one, only
// the caller's list travels and nothing is stored.
TEST(InetRequest, ProcessCookieStore) {
  StandInServer server;
  test::AddHttpTestRoutes(server);
  ASSERT_TRUE(server.Start());
  ClearStoredCookies();
  const std::string base = server.BaseUrl();

  InetRequest(base + "/set-cookie?k=v");
  EXPECT_EQ(BytesToText(InetRequest(base + "/cookies")), "k=v");

  Text mine = "own=1";
  InetRequest(base + "/set-cookie?m=1", {.sendCookies = &mine});
  EXPECT_EQ(mine, "m=1; own=1");
  Text other = "x=1";
  EXPECT_EQ(BytesToText(InetRequest(base + "/cookies", {.sendCookies = &other})), "x=1");
  EXPECT_EQ(BytesToText(InetRequest(base + "/cookies")), "k=v");

  ClearStoredCookies();
  EXPECT_EQ(BytesToText(InetRequest(base + "/redirect/2")), "final");
  TextArray stored = SplitText(BytesToText(InetRequest(base + "/cookies")), "; ");
  std::sort(stored.begin(), stored.end());
  EXPECT_EQ(stored, (TextArray{"final=1", "hop1=1", "hop2=1"}));
  ClearStoredCookies();
  EXPECT_EQ(BytesToText(InetRequest(base + "/cookies")), "");
}

TEST(InetRequest, Redirects) {
  const test::TestCa& ca = test::TrustTestCa();
  StandInServer plain;
  StandInServer secure(ca);
  test::AddHttpTestRoutes(plain);
  test::AddHttpTestRoutes(secure);
  ASSERT_TRUE(plain.Start());
  ASSERT_TRUE(secure.Start());

  Text headers, cookies;
  Text none;  // a supplied list keeps the process store out of it
  Bytes body =
      InetRequest(plain.BaseUrl() + "/redirect/2",
                  {.sendCookies = &none, .receivedCookies = &cookies, .receivedHeaders = &headers});
  EXPECT_EQ(BytesToText(body), "final");
  EXPECT_TRUE(headers.starts_with("HTTP/1.1 200 OK\r\n")) << headers;
  EXPECT_EQ(cookies, "final=1");  // cookies of the hops on the way are not reported

  body =
      InetRequest(plain.BaseUrl() + "/redirect/2",
                  {.receivedCookies = &cookies, .receivedHeaders = &headers, .noRedirect = true});
  EXPECT_EQ(BytesToText(body), "");
  EXPECT_TRUE(headers.starts_with("HTTP/1.1 302 Found\r\n")) << headers;
  EXPECT_TRUE(ContainsText(headers, "\r\nLocation: /redirect/1\r\n")) << headers;
  EXPECT_EQ(cookies, "hop2=1");

  // http to https is followed.
  body = InetRequest(plain.BaseUrl() + "/redirect-to?url=" + secure.BaseUrl() + "/hello");
  EXPECT_EQ(BytesToText(body), "hello");

  // https to http is not: the redirect itself comes back.
  body = InetRequest(secure.BaseUrl() + "/redirect-to?url=" + plain.BaseUrl() + "/hello",
                     {.receivedHeaders = &headers});
  EXPECT_EQ(BytesToText(body), "");
  EXPECT_TRUE(headers.starts_with("HTTP/1.1 302 Found\r\n")) << headers;
  EXPECT_EQ(plain.RequestCount(), 5);  // 3 + 1 + 1: the refused hop never came
}

TEST(InetRequest, HttpsUsesHttp11AndTheDefaultBlock) {
  StandInServer server(test::TrustTestCa());
  test::AddHttpTestRoutes(server);
  ASSERT_TRUE(server.Start());
  Text headers;
  std::string echo =
      BytesToText(InetRequest(server.BaseUrl() + "/echo", {.receivedHeaders = &headers}));
  EXPECT_TRUE(headers.starts_with("HTTP/1.1 200 OK\r\n")) << headers;
  EXPECT_TRUE(ContainsText(headers, "Content-Type: text/plain")) << headers;
  EXPECT_TRUE(echo.starts_with("GET /echo\n")) << echo;
  for (std::string line : {std::string("Accept: */*"), std::string("Accept-Language: zh-cn"),
                           std::string("Content-Type: application/x-www-form-urlencoded"),
                           "Referer: " + server.BaseUrl() + "/echo", std::string(kAgent)}) {
    EXPECT_TRUE(ContainsText(echo, "\n" + line + "\n")) << line;
  }
}

TEST(InetRequest, BodiesOfAnySizeComeBackWhole) {
  StandInServer server;
  test::AddHttpTestRoutes(server);
  ASSERT_TRUE(server.Start());
  for (std::size_t size : {0u, 1u, 1024u, 2048u, 3000000u}) {
    Bytes body = InetRequest(server.BaseUrl() + "/bytes/" + std::to_string(size));
    EXPECT_EQ(BytesToText(body), test::BytePattern(size)) << size;
  }
  EXPECT_EQ(BytesToText(InetRequest(server.BaseUrl() + "/zero-byte")), std::string("abc\0def", 7));
  EXPECT_EQ(BytesToText(InetRequest(server.BaseUrl() + "/status/404")), "status 404");
  EXPECT_EQ(BytesToText(InetRequest(server.BaseUrl() + "/status/500")), "status 500");
}

// Without an empty "Expect:" line libcurl announces a large body with
// "Expect: 100-continue" and waits a second for an answer before sending it.
TEST(InetRequest, LargeUploadGoesOutWithoutPause) {
  RawRecorder recorder;
  const std::string image(3 * 1024 * 1024, 'i');
  Bytes body = InetRequest(recorder.BaseUrl() + "/ocr", {.method = 1, .postText = image});
  EXPECT_EQ(BytesToText(body), "ok");
  EXPECT_EQ(recorder.LastRequest().body, image);
  EXPECT_EQ(recorder.LastRequest().HeaderCount("Expect"), 0);
}

// When no response arrives, the body is empty, the received headers are 5000
// spaces, no cookie is received, and a supplied list is still tidied by the
// merge; each phase ends after the time-out.
TEST(InetRequest, NoResponse) {
  test::ScopedPhaseTimeout shortPhases(400ms);
  const test::TestCa& trusted = test::TrustTestCa();
  test::TestCa untrusted;
  ASSERT_TRUE(untrusted.Ok());
  StandInServer badCertificate(untrusted);
  test::AddHttpTestRoutes(badCertificate);
  ASSERT_TRUE(badCertificate.Start());
  StandInServer stalling(trusted);
  test::AddHttpTestRoutes(stalling);
  ASSERT_TRUE(stalling.Start());
  RawRecorder silent([](const RecordedRequest&) {
    RawReply reply;
    reply.end = RawReply::End::kClose;
    return reply;
  });
  RawRecorder stalled([](const RecordedRequest&) {
    RawReply reply;
    reply.end = RawReply::End::kStall;
    return reply;
  });
  RawRecorder headersOnly([](const RecordedRequest&) {
    RawReply reply;
    reply.bytes = "HTTP/1.1 200 OK\r\nContent-Le";
    reply.end = RawReply::End::kStall;
    return reply;
  });

  const std::pair<std::string, std::string> cases[] = {
      {"refused", "http://127.0.0.1:" + std::to_string(test::UnusedPort()) + "/"},
      {"untrusted certificate", badCertificate.BaseUrl() + "/hello"},
      {"closed without a word", silent.BaseUrl() + "/"},
      {"stalled before the headers", stalled.BaseUrl() + "/"},
      {"stalled inside the headers", headersOnly.BaseUrl() + "/"},
      {"stalled https server", stalling.BaseUrl() + "/stall"},
      {"host name that cannot exist", "http://no host/"},
  };
  for (const auto& [name, url] : cases) {
    SCOPED_TRACE(name);
    Text headers = "X-Mine: 1";
    Text cookies = "x = 1;x=2";
    Text receivedHeaders = "unchanged", receivedCookies = "unchanged";
    test::StopWatch watch;
    Bytes body = InetRequest(url, {.sendCookies = &cookies,
                                   .receivedCookies = &receivedCookies,
                                   .headers = &headers,
                                   .receivedHeaders = &receivedHeaders});
    EXPECT_LT(watch.Elapsed(), 2500ms);
    EXPECT_TRUE(body.empty());
    EXPECT_EQ(receivedHeaders, std::string(5000, ' '));
    EXPECT_EQ(receivedCookies, "");
    EXPECT_EQ(cookies, "x=1");
    EXPECT_TRUE(headers.starts_with("X-Mine: 1\r\nAccept: */*\r\n")) << headers;
  }
}

// A URL without a host changes nothing and returns nothing.
TEST(InetRequest, NothingToConnectTo) {
  for (std::string url : {"", "http:///x", "https://127.0.0.1:70000/"}) {
    Text headers = "X-Mine: 1", cookies = "a=1", receivedHeaders = "r", receivedCookies = "c";
    Bytes postBytes;
    Bytes body = InetRequest(url, {.method = 1,
                                   .postText = "p",
                                   .sendCookies = &cookies,
                                   .receivedCookies = &receivedCookies,
                                   .headers = &headers,
                                   .receivedHeaders = &receivedHeaders,
                                   .postBytes = &postBytes});
    EXPECT_TRUE(body.empty()) << url;
    EXPECT_EQ(headers, "X-Mine: 1") << url;
    EXPECT_EQ(cookies, "a=1") << url;
    EXPECT_EQ(receivedHeaders, "r") << url;
    EXPECT_EQ(receivedCookies, "c") << url;
    EXPECT_TRUE(postBytes.empty()) << url;
  }
}

// A body that breaks off returns the bytes that arrived, with the headers.
TEST(InetRequest, BrokenBodyReturnsWhatArrived) {
  StandInServer server;
  test::AddHttpTestRoutes(server);
  ASSERT_TRUE(server.Start());
  RawRecorder resetting([](const RecordedRequest&) {
    RawReply reply =
        RawReply::Response("HTTP/1.1 200 OK", {"Content-Length: 2000"}, std::string(1000, 'r'));
    reply.pauseBeforeEnd = 100ms;
    reply.end = RawReply::End::kReset;
    return reply;
  });
  const std::pair<std::string, char> cases[] = {
      {server.BaseUrl() + "/half-body", 'x'},
      {resetting.BaseUrl() + "/", 'r'},
  };
  for (const auto& [url, fill] : cases) {
    Text headers;
    Bytes body = InetRequest(url, {.receivedHeaders = &headers});
    EXPECT_EQ(BytesToText(body), std::string(1000, fill)) << url;
    EXPECT_TRUE(headers.starts_with("HTTP/1.1 200 OK\r\n")) << url;
  }
}

TEST(InetRequest, ProxyServesTheUrlsScheme) {
  RawRecorder proxy([](const RecordedRequest&) {
    RawReply reply = RawReply::Response("HTTP/1.1 403 Forbidden", {}, "");
    reply.end = RawReply::End::kClose;
    return reply;
  });
  InetRequest("http://example.invalid/x?y=1", {.proxy = proxy.HostAndPort()});
  EXPECT_EQ(proxy.LastRequest().RequestLine(), "GET http://example.invalid/x?y=1 HTTP/1.1");
  EXPECT_EQ(proxy.LastRequest().Header("Referer"), "http://example.invalid/x?y=1");
  InetRequest("https://example.invalid/x", {.proxy = proxy.HostAndPort()});
  EXPECT_EQ(proxy.LastRequest().RequestLine(), "CONNECT example.invalid:443 HTTP/1.1");
  EXPECT_EQ(proxy.LastRequest().HeaderCount("Referer"),
            0);  // the tunnel carries no request headers
}

}  // namespace
}  // namespace qa
