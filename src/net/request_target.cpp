#include "net/request_target.h"

namespace qa {

Text EscapeRequestTarget(std::string_view target) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  Text out;
  out.reserve(target.size());
  for (char c : target) {
    auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    } else {
      out += c;
    }
  }
  return out;
}

bool CrackHttpUrl(std::string_view url, HttpUrlParts& parts) {
  std::size_t schemeEnd = url.find("://");
  if (schemeEnd == std::string_view::npos) return false;
  HttpUrlParts result;
  std::string_view scheme = url.substr(0, schemeEnd);
  if (EqualsIgnoreCase(scheme, "https")) {
    result.https = true;
    result.port = 443;
  } else if (!EqualsIgnoreCase(scheme, "http")) {
    return false;
  }
  std::string_view rest = url.substr(schemeEnd + 3);
  std::size_t authorityEnd = rest.find_first_of("/?#");
  std::string_view authority = rest.substr(0, authorityEnd);
  std::string_view afterAuthority =
      authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd);

  if (std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
    authority.remove_prefix(at + 1);
  }
  std::string_view host = authority;
  std::string_view port;
  std::size_t portColon = std::string_view::npos;
  if (!authority.empty() && authority.front() == '[') {
    std::size_t close = authority.find(']');
    if (close == std::string_view::npos) return false;
    host = authority.substr(0, close + 1);
    if (close + 1 < authority.size()) {
      if (authority[close + 1] != ':') return false;
      portColon = close + 1;
    }
  } else {
    portColon = authority.find(':');
    if (portColon != std::string_view::npos) host = authority.substr(0, portColon);
  }
  if (portColon != std::string_view::npos) port = authority.substr(portColon + 1);
  if (host.empty()) return false;
  if (!port.empty()) {
    if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string_view::npos) {
      return false;
    }
    int value = TextToInt(port);
    if (value < 1 || value > 65535) return false;
    result.port = value;
  }
  result.host = Text(host);
  result.object = afterAuthority.starts_with('/') ? Text(afterAuthority) : Text(1, '/');
  parts = std::move(result);
  return true;
}

}  // namespace qa
