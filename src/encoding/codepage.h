// Conversions between the program's GBK text and UTF-16 / UTF-8, on ICU's
// converter for the Windows code page 936. Characters GBK cannot represent
// become '?'; malformed input becomes U+FFFD before any GBK step (and so '?').
// Converters are kept per thread, so every routine may run on any thread.
#pragma once

#include <string>
#include <string_view>

#include "text/text.h"

namespace qa {

// GBK -> UTF-16 code units.
std::u16string GbkToUtf16(std::string_view gbk);
// UTF-16 code units -> GBK.
std::string Utf16ToGbk(std::u16string_view utf16);
// UTF-8 -> UTF-16 code units; malformed sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
// UTF-16 code units -> UTF-8; lone surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

// Decodes bytes in the named charset (any name ICU knows: "utf-8", "gbk",
// "GB2312", "iso-8859-1", ...) into GBK text. Gives false, leaving `out`
// untouched, when ICU does not know the name.
bool CharsetToGbk(std::string_view bytes, std::string_view charset, Text& out);

// The UTF-16 form of the text followed by one NUL code unit, little-endian;
// the empty text gives empty Bytes.
Bytes AnsiToUtf16(std::string_view text);
// The GBK form of the little-endian UTF-16 code units in the bytes (an odd
// last byte is ignored), ending at the first NUL code unit.
Text Utf16ToAnsi(const Bytes& utf16);
// The UTF-8 bytes of the same characters.
Text AnsiToUtf8(std::string_view text);

}  // namespace qa
