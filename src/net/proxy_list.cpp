#include "net/proxy_list.h"

namespace qa {

Text ProxyListForUrl(std::string_view proxy, bool https) {
  if (proxy.empty()) return {};
  return https ? Text(proxy) : "http=" + Text(proxy);
}

Text ProxyForScheme(std::string_view list, bool https) {
  const std::string_view scheme = https ? "https" : "http";
  std::size_t pos = 0;
  while (pos < list.size()) {
    std::size_t end = list.find_first_of(" ;", pos);
    if (end == std::string_view::npos) end = list.size();
    std::string_view entry = list.substr(pos, end - pos);
    pos = end + 1;
    if (entry.empty()) continue;
    std::size_t equals = entry.find('=');
    if (equals == std::string_view::npos) return Text(entry);
    if (EqualsIgnoreCase(entry.substr(0, equals), scheme)) return Text(entry.substr(equals + 1));
  }
  return {};
}

}  // namespace qa
