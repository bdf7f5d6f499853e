// The shared text types and the conventions every search, cut, trim, split and
// replace in the program follows.
//
// Text is GBK (code page 936) bytes. Lengths and positions count bytes,
// positions are 1-based, and a search that finds nothing gives -1. A search
// never matches at the second byte of a GBK double-byte character: a byte from
// 0x81 to 0xFE starts a double-byte character and always takes the byte after
// it, whose value (0x40 to 0xFE) may look like an ASCII letter or digit.
// Ignoring case folds the ASCII letters A to Z of single-byte characters only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qa {

using Text = std::string;
using Bytes = std::vector<std::uint8_t>;
using TextArray = std::vector<Text>;

// The GBK full-width space, trimmed like an ASCII space.
inline constexpr std::string_view kFullWidthSpace = "\xA1\xA1";

// The marker word that stands for one double-quote character in markers and
// patterns given to TextBetween and RegexMatcher::Match.
inline constexpr std::string_view kQuoteMarker = "#\xD2\xFD\xBA\xC5";  // "#引号"

inline bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// True when byte offset `offset` (0-based) starts a character of `text`, that
// is, it is not the second byte of a double-byte character. The end of the
// text counts as a character start.
bool IsCharStart(std::string_view text, std::size_t offset);

// Position (1-based) of the first occurrence of `needle` at or after `start`
// that begins at a character start; -1 when there is none or `needle` is empty.
// A start below 1 counts as 1.
int FindText(std::string_view text, std::string_view needle, int start = 1,
             bool ignoreCase = false);

inline bool ContainsText(std::string_view text, std::string_view needle, bool ignoreCase = false) {
  return FindText(text, needle, 1, ignoreCase) != -1;
}

// Number of non-overlapping occurrences of `needle`, counted left to right at
// character starts; 0 for an empty needle.
int CountText(std::string_view text, std::string_view needle, bool ignoreCase = false);

// The first/last n bytes: all of the text when n exceeds its length, the empty
// text when n is 0 or less.
Text LeftText(std::string_view text, long long n);
Text RightText(std::string_view text, long long n);

// Removes ASCII spaces and full-width spaces (A1 A1) at both ends only.
Text TrimText(std::string_view text);

// Splits at every separator. Empty members at the start and in the middle are
// kept; a text ending with the separator gives no empty last member; the empty
// text gives no member. An empty separator gives the whole text as one member.
TextArray SplitText(std::string_view text, std::string_view separator);

// Replaces every occurrence of `from` (found as FindText finds it) by `to`.
Text ReplaceAllText(std::string_view text, std::string_view from, std::string_view to,
                    bool ignoreCase = false);

// Folds the ASCII letters of single-byte characters; double-byte characters
// are left alone.
Text LowerAscii(std::string_view text);
Text UpperAscii(std::string_view text);

// Compares two texts ignoring the case of ASCII letters of single-byte characters.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// Decimal without fraction or grouping.
Text IntToText(long long value);

// Reads an integer the tolerant way: leading white space and an optional sign
// are accepted, full-width digits (A3 B0 to A3 B9) count as digits, reading
// stops at the first other character, and no digits give 0. Saturates at the
// limits of a 32-bit integer.
int TextToInt(std::string_view text);

inline Text BytesToText(const Bytes& bytes) { return Text(bytes.begin(), bytes.end()); }
inline Bytes TextToBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

}  // namespace qa
