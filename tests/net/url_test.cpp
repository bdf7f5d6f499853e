#include "net/url.h"

#include <gtest/gtest.h>

namespace qa {
namespace {

struct UrlCase {
  std::string url;
  std::string host;
  std::string hostWithPort;
  int port;
  std::string path;
};

TEST(UrlDissection, Table) {
  const UrlCase cases[] = {
      {"http://Host/A/b?x=1", "host", "host", 80, "/A/b?x=1"},
      {"https://host", "host", "host", 443, "/"},
      {"HTTPS://Host:4443", "host", "host:4443", 4443, "/"},
      {"host:8080/x", "host", "host:8080", 8080, "/x"},
      {"host/a", "host", "host", 80, "/a"},
      // Only a slash ends the host.
      {"http://host?x=1", "host?x=1", "host?x=1", 80, "/"},
      // The scheme test finds "http://" anywhere in the text.
      {"host/?u=http://other/", "other", "other", 80, "/"},
      {"http://host:abc/", "host", "host:abc", 0, "/"},
      {"", "", "", 80, "/"},
      {"https://h:8443/Q?a=B#F", "h", "h:8443", 8443, "/Q?a=B#F"},
      {"https://h:+12/", "h", "h:+12", 12, "/"},
      // Full-width digits count as digits in the port.
      {"http://h:\xA3\xB9\xA3\xB0/", "h", "h:\xA3\xB9\xA3\xB0", 90, "/"},
      // The port is read after the last colon.
      {"http://u:p:81/x", "u", "u:p:81", 81, "/x"},
      // "https" not followed by "://" is not the https scheme.
      {"httpsx/a", "httpsx", "httpsx", 443, "/a"},
      {"ftp://h/a", "ftp", "ftp:", 0, "//h/a"},
      // A host spelt inside the scheme is not found there: the path follows the host.
      {"http://ttp/a", "ttp", "ttp", 80, "/a"},
      {"https://s/x", "s", "s", 443, "/x"},
      // Double-byte characters pass through the lowering unchanged.
      {"http://\xB0\x41.cn/P", "\xB0\x41.cn", "\xB0\x41.cn", 80, "/P"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UrlHost(c.url), c.host) << c.url;
    EXPECT_EQ(UrlHost(c.url, true), c.hostWithPort) << c.url;
    EXPECT_EQ(UrlPort(c.url), c.port) << c.url;
    EXPECT_EQ(UrlPath(c.url), c.path) << c.url;
  }
}

}  // namespace
}  // namespace qa
