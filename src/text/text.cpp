#include "text/text.h"

#include <climits>
#include <cstdint>
#include <cstring>

namespace qa {
namespace {

inline unsigned char FoldByte(unsigned char c) {
  return static_cast<unsigned char>(c + ((static_cast<unsigned>(c) - 'A' < 26u) ? 32 : 0));
}

// Folds every byte, second bytes of double-byte characters included. Only used
// to find candidates quickly; MatchesAt then checks a candidate exactly. Works
// on eight bytes at a time: a byte gets 0x20 added when it lies in 'A'..'Z'.
std::string FoldAll(std::string_view text) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  constexpr std::uint64_t kHigh = 0x8080808080808080ull;
  std::string out(text.size(), '\0');
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    const std::uint64_t low7 = word & ~kHigh;
    // The high bit of each byte of `atLeastA` is set when its low seven bits are
    // 'A' or more, that of `aboveZ` when they are above 'Z'; bytes with the high
    // bit set are never letters.
    const std::uint64_t atLeastA = low7 + (0x80 - 'A') * kOnes;
    const std::uint64_t aboveZ = low7 + (0x80 - 'Z' - 1) * kOnes;
    const std::uint64_t upper = atLeastA & ~aboveZ & ~word & kHigh;
    word |= upper >> 2;
    std::memcpy(out.data() + i, &word, 8);
  }
  for (; i < text.size(); ++i) {
    out[i] = static_cast<char>(FoldByte(static_cast<unsigned char>(text[i])));
  }
  return out;
}

bool HasAsciiLetter(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned>(FoldByte(static_cast<unsigned char>(c))) - 'a' < 26u) return true;
  }
  return false;
}

// Exact case-insensitive comparison of `needle` with `text` at `offset`, which
// starts a character: only single-byte characters are folded.
bool MatchesAt(std::string_view text, std::size_t offset, std::string_view needle) {
  if (text.size() - offset < needle.size()) return false;
  std::size_t i = 0;
  while (i < needle.size()) {
    auto h = static_cast<unsigned char>(text[offset + i]);
    auto n = static_cast<unsigned char>(needle[i]);
    if (IsLeadByte(h) && offset + i + 1 < text.size()) {
      if (h != n) return false;
      if (i + 1 < needle.size() && text[offset + i + 1] != needle[i + 1]) return false;
      i += 2;
    } else {
      if (FoldByte(h) != FoldByte(n)) return false;
      ++i;
    }
  }
  return true;
}

// Tells whether offsets of one text start characters, asked in ascending
// order. It remembers the last character start it established, so the scan
// back over lead-range bytes never passes it: a whole search over the text
// looks at each byte a bounded number of times, even in long runs of
// double-byte characters.
class CharStarts {
 public:
  explicit CharStarts(std::string_view text) : text_(text) {}

  bool IsStart(std::size_t offset) {
    if (offset == 0 || offset >= text_.size()) return true;
    if (offset < known_) return IsCharStart(text_, offset);
    // Every byte from `begin` to `offset` is lead-range, and `begin` starts a
    // character (it follows a byte that ends one, or it is the one remembered),
    // so the bytes pair up from `begin`.
    std::size_t begin = offset;
    while (begin > known_ && IsLeadByte(static_cast<unsigned char>(text_[begin - 1]))) --begin;
    const bool start = (offset - begin) % 2 == 0;
    known_ = start ? offset : offset - 1;
    return start;
  }

 private:
  std::string_view text_;
  std::size_t known_ = 0;
};

// Finds `needle` in `text` at or after byte offset `from`, at a character
// start. With `folded` (the FoldAll form of text, and `foldedNeedle` that of the
// needle) the search ignores case. Gives npos when there is none.
std::size_t FindFrom(std::string_view text, std::string_view needle, std::size_t from,
                     CharStarts& starts, const std::string* folded,
                     const std::string* foldedNeedle) {
  if (needle.empty()) return std::string_view::npos;
  std::string_view hay = folded ? std::string_view(*folded) : text;
  std::string_view pat = foldedNeedle ? std::string_view(*foldedNeedle) : needle;
  while (from < hay.size() && hay.size() - from >= pat.size()) {
    const void* hit = memmem(hay.data() + from, hay.size() - from, pat.data(), pat.size());
    if (!hit) return std::string_view::npos;
    std::size_t pos = static_cast<const char*>(hit) - hay.data();
    if (starts.IsStart(pos) && (!folded || MatchesAt(text, pos, needle))) return pos;
    from = pos + 1;
  }
  return std::string_view::npos;
}

// Search state for successive searches through one text. Ignoring case only
// matters for needles with ASCII letters: for the others it is the exact search.
// The folded forms are made once per text.
struct Searcher {
  std::string_view text;
  std::string_view needle;
  std::string folded;
  std::string foldedNeedle;
  bool ignoreCase;
  CharStarts starts;

  Searcher(std::string_view t, std::string_view n, bool ic)
      : text(t), needle(n), ignoreCase(ic && HasAsciiLetter(n)), starts(t) {
    if (ignoreCase) {
      folded = FoldAll(t);
      foldedNeedle = FoldAll(n);
    }
  }
  std::size_t Next(std::size_t from) {
    return FindFrom(text, needle, from, starts, ignoreCase ? &folded : nullptr,
                    ignoreCase ? &foldedNeedle : nullptr);
  }
};

Text FoldSingleBytes(std::string_view text, bool toLower) {
  Text out(text);
  for (std::size_t i = 0; i < out.size(); ++i) {
    auto c = static_cast<unsigned char>(out[i]);
    if (IsLeadByte(c) && i + 1 < out.size()) {
      ++i;
    } else if (toLower && c >= 'A' && c <= 'Z') {
      out[i] = static_cast<char>(c + 32);
    } else if (!toLower && c >= 'a' && c <= 'z') {
      out[i] = static_cast<char>(c - 32);
    }
  }
  return out;
}

}  // namespace

bool IsCharStart(std::string_view text, std::size_t offset) {
  if (offset == 0 || offset >= text.size()) return true;
  // A byte outside the lead range always ends a character, so only the run of
  // lead-range bytes right before `offset` decides: they pair up from its start.
  std::size_t run = 0;
  std::size_t i = offset;
  while (i > 0 && IsLeadByte(static_cast<unsigned char>(text[i - 1]))) {
    --i;
    ++run;
  }
  return run % 2 == 0;
}

int FindText(std::string_view text, std::string_view needle, int start, bool ignoreCase) {
  if (start < 1) start = 1;
  if (needle.empty() || static_cast<std::size_t>(start - 1) >= text.size()) return -1;
  Searcher s(text, needle, ignoreCase);
  const std::size_t pos = s.Next(static_cast<std::size_t>(start - 1));
  return pos == std::string_view::npos ? -1 : static_cast<int>(pos) + 1;
}

int CountText(std::string_view text, std::string_view needle, bool ignoreCase) {
  if (needle.empty()) return 0;
  Searcher s(text, needle, ignoreCase);
  int count = 0;
  for (std::size_t pos = s.Next(0); pos != std::string_view::npos;
       pos = s.Next(pos + needle.size())) {
    ++count;
  }
  return count;
}

Text LeftText(std::string_view text, long long n) {
  if (n <= 0) return {};
  return Text(text.substr(0, static_cast<std::size_t>(n)));
}

Text RightText(std::string_view text, long long n) {
  if (n <= 0) return {};
  if (static_cast<unsigned long long>(n) >= text.size()) return Text(text);
  return Text(text.substr(text.size() - static_cast<std::size_t>(n)));
}

Text TrimText(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end) {
    if (text[begin] == ' ') {
      ++begin;
    } else if (text.substr(begin, 2) == kFullWidthSpace && end - begin >= 2) {
      begin += 2;
    } else {
      break;
    }
  }
  while (end > begin) {
    if (text[end - 1] == ' ') {
      --end;
    } else if (end - begin >= 2 && text.substr(end - 2, 2) == kFullWidthSpace &&
               IsCharStart(text, end - 2)) {
      end -= 2;
    } else {
      break;
    }
  }
  return Text(text.substr(begin, end - begin));
}

TextArray SplitText(std::string_view text, std::string_view separator) {
  TextArray parts;
  if (text.empty()) return parts;
  if (separator.empty()) {
    parts.emplace_back(text);
    return parts;
  }
  CharStarts starts(text);
  std::size_t begin = 0;
  for (;;) {
    std::size_t pos = FindFrom(text, separator, begin, starts, nullptr, nullptr);
    if (pos == std::string_view::npos) break;
    parts.emplace_back(text.substr(begin, pos - begin));
    begin = pos + separator.size();
  }
  if (begin < text.size()) parts.emplace_back(text.substr(begin));
  return parts;
}

Text ReplaceAllText(std::string_view text, std::string_view from, std::string_view to,
                    bool ignoreCase) {
  if (from.empty()) return Text(text);
  Searcher s(text, from, ignoreCase);
  Text out;
  out.reserve(text.size());
  std::size_t begin = 0;
  for (std::size_t pos = s.Next(0); pos != std::string_view::npos;
       pos = s.Next(pos + from.size())) {
    out.append(text.substr(begin, pos - begin));
    out.append(to);
    begin = pos + from.size();
  }
  out.append(text.substr(begin));
  return out;
}

Text LowerAscii(std::string_view text) {
  return FoldSingleBytes(text, true);
}
Text UpperAscii(std::string_view text) {
  return FoldSingleBytes(text, false);
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && MatchesAt(a, 0, b);
}

Text IntToText(long long value) {
  return std::to_string(value);
}

int TextToInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  long long value = 0;
  for (;;) {
    int digit;
    if (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      digit = text[i] - '0';
      i += 1;
    } else if (i + 1 < text.size() && static_cast<unsigned char>(text[i]) == 0xA3 &&
               static_cast<unsigned char>(text[i + 1]) >= 0xB0 &&
               static_cast<unsigned char>(text[i + 1]) <= 0xB9) {
      digit = static_cast<unsigned char>(text[i + 1]) - 0xB0;
      i += 2;
    } else {
      break;
    }
    if (value <= static_cast<long long>(INT_MAX) + 1) value = value * 10 + digit;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

}  // namespace qa
