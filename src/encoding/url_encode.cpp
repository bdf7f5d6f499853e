#include "encoding/url_encode.h"

#include "encoding/codepage.h"

namespace qa {
namespace {

bool IsSafe(unsigned char c) {
  return c == '-' || c == '.' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
         (c >= 'a' && c <= 'z');
}

}  // namespace

Text UrlEncode(std::string_view text, bool keepSafeChars, bool useUtf8) {
  if (text.empty()) return {};
  static constexpr char kHex[] = "0123456789ABCDEF";
  Text utf8;
  if (useUtf8) {
    utf8 = AnsiToUtf8(text);
    text = utf8;
  }
  Text out;
  out.reserve(text.size() * 3);
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (keepSafeChars && IsSafe(c)) {
      out.push_back(ch);
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

}  // namespace qa
