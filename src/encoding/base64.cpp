#include "encoding/base64.h"

namespace qa {

Text Base64Encode(std::string_view bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const std::size_t n = bytes.size();
  if (n == 0) return {};
  Text out(4 * ((n + 2) / 3), '=');
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  char* o = out.data();
  std::size_t i = 0;
  for (; i + 3 <= n; i += 3, o += 4) {
    const unsigned v = (in[i] << 16) | (in[i + 1] << 8) | in[i + 2];
    o[0] = kAlphabet[v >> 18];
    o[1] = kAlphabet[(v >> 12) & 63];
    o[2] = kAlphabet[(v >> 6) & 63];
    o[3] = kAlphabet[v & 63];
  }
  if (const std::size_t r = n - i; r > 0) {
    const unsigned v = (in[i] << 16) | (r == 2 ? in[i + 1] << 8 : 0);
    o[0] = kAlphabet[v >> 18];
    o[1] = kAlphabet[(v >> 12) & 63];
    if (r == 2) o[2] = kAlphabet[(v >> 6) & 63];
  }
  return out;
}

Text Base64Encode(const Bytes& bytes) {
  return Base64Encode(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace qa
