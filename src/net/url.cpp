#include "net/url.h"

#include "net/header_text.h"

namespace qa {

namespace {

constexpr std::string_view kHttps = "https://";
constexpr std::string_view kHttp = "http://";

// The lowered URL with a closing slash, and the scheme marker after which its
// host stands. A URL without "http://" anywhere is read as an http URL.
struct HostSource {
  Text lowered;
  std::string_view marker;
  bool prefixed = false;
};

HostSource ReadHostSource(std::string_view url) {
  HostSource src;
  src.lowered = LowerAscii(url);
  if (src.lowered.empty() || src.lowered.back() != '/') src.lowered.push_back('/');
  if (src.lowered.starts_with(kHttps)) {
    src.marker = kHttps;
  } else {
    src.marker = kHttp;
    if (!ContainsText(src.lowered, kHttp)) {
      src.lowered.insert(0, kHttp);
      src.prefixed = true;
    }
  }
  return src;
}

// Last position (1-based) of `needle` at a character start, or -1.
int FindLastText(std::string_view text, std::string_view needle) {
  int last = -1;
  for (int pos = FindText(text, needle); pos != -1; pos = FindText(text, needle, pos + 1)) {
    last = pos;
  }
  return last;
}

}  // namespace

Text UrlHost(std::string_view url, bool keepPort) {
  const HostSource src = ReadHostSource(url);
  Text host = TextBetween(src.lowered, src.marker, "/");
  if (!keepPort) {
    const int colon = FindText(host, ":");
    if (colon != -1) host.resize(static_cast<std::size_t>(colon - 1));
  }
  return host;
}

int UrlPort(std::string_view url) {
  const Text host = UrlHost(url, true);
  const int colon = FindLastText(host, ":");
  if (colon != -1) return TextToInt(std::string_view(host).substr(static_cast<std::size_t>(colon)));
  return EqualsIgnoreCase(LeftText(url, 5), "https") ? 443 : 80;
}

Text UrlPath(std::string_view url) {
  const HostSource src = ReadHostSource(url);
  const Text host = UrlHost(url);
  // The host is looked for where UrlHost took it from, after its scheme marker,
  // so that a host spelt inside the scheme ("http://ttp/") is not found there.
  int hostFrom = 1;
  if (!src.prefixed) {
    const int marker = FindText(src.lowered, src.marker);
    if (marker != -1) hostFrom = marker + static_cast<int>(src.marker.size());
  }
  const int hostAt = FindText(url, host, hostFrom, true);
  const int slash = FindText(url, "/", hostAt == -1 ? hostFrom : hostAt);
  if (slash == -1) return "/";
  return Text(url.substr(static_cast<std::size_t>(slash - 1)));
}

}  // namespace qa
