#include "app/count_occurrences.h"

#include <gtest/gtest.h>

namespace qa {
namespace {

const std::string kBeijing = "\xB1\xB1\xBE\xA9";  // 北京
const std::string kZhong = "\xD6\xD0";            // 中
const std::string kGu = "\xB9\xC9";               // 股
const std::string kTrailA = "\xB0\x61";           // a character whose second byte is "a"
const std::string kTrailUpperA = "\xB0\x41";      // one whose second byte is "A"

TEST(CountOccurrences, Table) {
  const struct {
    const char* name;
    std::string page;
    std::string option;
    int expected;
  } cases[] = {
      {"ASCII letters in any case", "abc ABC Abc aBc", "abc", 4},
      {"upper-case option", "abc xyz", "ABC", 1},
      {"without overlap", "aaa", "aa", 1},
      {"back to back", "aaaa", "aa", 2},
      {"empty option", "abc", "", 0},
      {"empty page", "", "abc", 0},
      {"not found", "abc", "abd", 0},
      {"markup counts too", "<b>abc</b>", "b", 3},
      {"Chinese option", kBeijing + "x" + kBeijing + kBeijing, kBeijing, 3},
      {"mixed option folds its letters only", "a" + kGu + " A" + kGu, "A" + kGu, 2},
      // GBK second bytes run from 0x40 to 0xFE: a match never starts there.
      {"letter as second byte is skipped", kTrailA + "bc", "abc", 0},
      {"letter as second byte, ignoring case", kTrailUpperA + "bc", "abc", 0},
      {"second byte skipped, next match counted", kTrailA + "abc", "abc", 1},
      {"second bytes are not folded", kTrailUpperA, kTrailA, 0},
      {"double-byte option matches whole characters", kTrailA + "x" + kTrailA, kTrailA, 2},
      {"Chinese option straddling two characters", "\xB0" + kZhong + "\xA1", kZhong, 0},
      {"full-width letters are not folded", "\xA3\xC1", "\xA3\xE1", 0},
      {"lead-range run pairs from its start", "a\xB0\xB0" + kZhong, kZhong, 1},
  };
  for (const auto& c : cases) EXPECT_EQ(CountOccurrences(c.page, c.option), c.expected) << c.name;
}

TEST(CountOccurrences, LongRunsOfDoubleByteCharacters) {
  // Character boundaries must hold far from the start of a run of lead-range
  // bytes: an odd run shifts every later pairing by one byte.
  std::string page;
  for (int i = 0; i < 5000; ++i) page += kZhong;
  page += "abc";
  std::string shifted = "\xB0" + page;  // B0 D6 | D0 D6 | ... | D0 61 | bc
  EXPECT_EQ(CountOccurrences(page, kZhong), 5000);
  EXPECT_EQ(CountOccurrences(page, "ABC"), 1);
  EXPECT_EQ(CountOccurrences(shifted, kZhong), 0);
  EXPECT_EQ(CountOccurrences(shifted, "abc"), 0);
  EXPECT_EQ(CountOccurrences(shifted, "bc"), 1);
}

}  // namespace
}  // namespace qa
