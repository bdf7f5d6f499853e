// UrlEncode over arbitrary text in each of its modes: the output holds only
// the safe bytes and "%" with two uppercase hex digits.
#include <cstdlib>
#include <string_view>

#include "encoding/url_encode.h"

namespace {

bool IsSafe(char c) {
  return c == '-' || c == '.' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
         (c >= 'a' && c <= 'z');
}

bool IsUpperHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

void Check(const qa::Text& out, bool keepSafe) {
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (out[i] == '%') {
      if (i + 2 >= out.size()) std::abort();
      if (!IsUpperHex(out[i + 1]) || !IsUpperHex(out[i + 2])) std::abort();
      i += 2;
    } else if (!keepSafe || !IsSafe(out[i])) {
      std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (int mode = 0; mode < 4; ++mode) {
    const bool keepSafe = mode & 1;
    const bool useUtf8 = mode & 2;
    const qa::Text out = qa::UrlEncode(text, keepSafe, useUtf8);
    Check(out, keepSafe);
    if (!useUtf8 && !keepSafe && out.size() != text.size() * 3) std::abort();
  }
  return 0;
}
