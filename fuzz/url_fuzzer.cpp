// UrlHost, UrlPort and UrlPath over arbitrary URL text.
#include <cstdlib>
#include <string_view>

#include "net/url.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view url(reinterpret_cast<const char*>(data), size);
  const qa::Text host = qa::UrlHost(url);
  const qa::Text hostWithPort = qa::UrlHost(url, true);
  qa::UrlPort(url);
  const qa::Text path = qa::UrlPath(url);
  // The path always begins with "/"; the host without its port is never
  // longer than the host with it, and neither holds a slash (a "/" byte may
  // only stand there as the second byte of a double-byte character).
  if (path.empty() || path.front() != '/') std::abort();
  if (host.size() > hostWithPort.size()) std::abort();
  if (qa::ContainsText(hostWithPort, "/")) std::abort();
  return 0;
}
