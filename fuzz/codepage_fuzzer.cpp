// The code-page conversions over arbitrary bytes, and CharsetToGbk with an
// arbitrary charset name (as a web page may declare one).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string_view>

#include "encoding/codepage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string charset = in.ConsumeRandomLengthString(24);
  const std::string bytes = in.ConsumeRemainingBytesAsString();

  // UTF-8 decoding always gives well-formed UTF-16, which survives a round trip.
  const std::u16string units = qa::Utf8ToUtf16(bytes);
  if (qa::Utf8ToUtf16(qa::Utf16ToUtf8(units)) != units) std::abort();

  const std::u16string fromGbk = qa::GbkToUtf16(bytes);
  const qa::Text gbk = qa::Utf16ToGbk(fromGbk);
  qa::Utf16ToGbk(units);
  qa::AnsiToUtf8(bytes);

  // Raw UTF-16 code units, lone surrogates included.
  std::u16string raw;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    raw.push_back(static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                        (static_cast<std::uint8_t>(bytes[i + 1]) << 8)));
  }
  qa::Utf16ToGbk(raw);
  qa::Utf16ToUtf8(raw);
  qa::Utf16ToAnsi(qa::Bytes(bytes.begin(), bytes.end()));

  // The UTF-16 form carries one closing NUL unit, and reading it back gives
  // the text as the GBK round trip does, up to its first NUL.
  const qa::Bytes wide = qa::AnsiToUtf16(bytes);
  if (bytes.empty() != wide.empty()) std::abort();
  if (!wide.empty() &&
      (wide.size() % 2 != 0 || wide[wide.size() - 1] != 0 || wide[wide.size() - 2] != 0)) {
    std::abort();
  }
  if (qa::Utf16ToAnsi(wide) != gbk.substr(0, gbk.find('\0'))) std::abort();

  qa::Text decoded = "untouched";
  if (!qa::CharsetToGbk(bytes, charset, decoded) && decoded != "untouched") std::abort();
  return 0;
}
