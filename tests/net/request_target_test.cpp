#include "net/request_target.h"

#include <gtest/gtest.h>

#include "net/proxy_list.h"

namespace qa {
namespace {

TEST(EscapeRequestTarget, EncodesOnlyWhatARequestLineCannotCarry) {
  const std::pair<std::string, std::string> cases[] = {
      {"/a b", "/a%20b"},
      {"/s?wd=\xD6\xD0", "/s?wd=%D6%D0"},  // 中, raw GBK bytes
      {"/t\x01\x7F\t", "/t%01%7F%09"},
      {std::string("/z\0z", 4), "/z%00z"},
      // Everything else stays as given, "%" and dot segments included.
      {"/keep%41{|}\"<>\\^`/../x?y=1&z#f", "/keep%41{|}\"<>\\^`/../x?y=1&z#f"},
      {"/", "/"},
  };
  for (const auto& [target, escaped] : cases) {
    EXPECT_EQ(EscapeRequestTarget(target), escaped) << target;
  }
}

TEST(CrackHttpUrl, SplitsHttpAndHttpsUrls) {
  struct Case {
    std::string url;
    bool https;
    std::string host;
    int port;
    std::string object;
  };
  const Case cases[] = {
      {"http://Host", false, "Host", 80, "/"},
      {"HTTPS://host", true, "host", 443, "/"},
      {"https://host:8443/s?wd=x", true, "host", 8443, "/s?wd=x"},
      {"http://host/A/b?x=1#frag", false, "host", 80, "/A/b?x=1#frag"},
      // An empty path gives "/" alone, also when a query follows the host.
      {"http://host?wd=x", false, "host", 80, "/"},
      {"http://host#f", false, "host", 80, "/"},
      {"http://user:pw@host:81/p", false, "host", 81, "/p"},
      {"http://[::1]:8080/p", false, "[::1]", 8080, "/p"},
      {"http://host:/p", false, "host", 80, "/p"},
  };
  for (const Case& c : cases) {
    HttpUrlParts parts;
    ASSERT_TRUE(CrackHttpUrl(c.url, parts)) << c.url;
    EXPECT_EQ(parts.https, c.https) << c.url;
    EXPECT_EQ(parts.host, c.host) << c.url;
    EXPECT_EQ(parts.port, c.port) << c.url;
    EXPECT_EQ(parts.object, c.object) << c.url;
  }
}

TEST(CrackHttpUrl, RefusesWhatIsNotAnHttpUrl) {
  const std::string urls[] = {
      "",
      "www.example.com/a",
      "ftp://host/",
      "http:///x",
      "http://:80/",
      "http://h:abc/",
      "http://h:0/",
      "http://h:65536/",
      "http://[::1/",
      "http//host/",
  };
  for (const std::string& url : urls) {
    HttpUrlParts parts;
    parts.host = "untouched";
    EXPECT_FALSE(CrackHttpUrl(url, parts)) << url;
    EXPECT_EQ(parts.host, "untouched") << url;
  }
}

TEST(ProxyList, HttpUrlsGetTheHttpPrefix) {
  EXPECT_EQ(ProxyListForUrl("p:8080", false), "http=p:8080");
  EXPECT_EQ(ProxyListForUrl("p:8080", true), "p:8080");
  EXPECT_EQ(ProxyListForUrl("", false), "");
  EXPECT_EQ(ProxyListForUrl("", true), "");
}

TEST(ProxyList, PicksTheEntryForTheScheme) {
  struct Case {
    std::string list;
    bool https;
    std::string proxy;
  };
  const Case cases[] = {
      {"http=p:1", false, "p:1"},
      {"http=p:1", true, ""},  // an http-only proxy does not serve https
      {"p:1", true, "p:1"},
      {"p:1", false, "p:1"},
      {"https=s:2 http=p:1", false, "p:1"},
      {"https=s:2;http=p:1", true, "s:2"},
      {"HTTP=p:1", false, "p:1"},
      {"", false, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProxyForScheme(c.list, c.https), c.proxy) << c.list << " https=" << c.https;
  }
}

}  // namespace
}  // namespace qa
