#include "text/text.h"

#include <gtest/gtest.h>

#include <vector>

namespace qa {
namespace {

// GBK characters used below: 中 is D6 D0; B0 61 is a double-byte character
// whose second byte reads as the ASCII letter a, B0 41 one whose second byte
// reads as A; A1 A1 is the full-width space.
const std::string kZhong = "\xD6\xD0";
const std::string kTrailA = "\xB0\x61";  // a double-byte character whose second byte is 'a'
const std::string kTrailUpperA = "\xB0\x41";
const std::string kFw = "\xA1\xA1";  // full-width space

struct FindCase {
  const char* name;
  std::string text;
  std::string needle;
  int start;
  bool ignoreCase;
  int expected;
};

TEST(FindText, Table) {
  const FindCase cases[] = {
      {"plain", "hello world", "world", 1, false, 7},
      {"first of several", "abcabc", "bc", 1, false, 2},
      {"from start", "abcabc", "bc", 3, false, 5},
      {"start below one counts as one", "abc", "a", -5, false, 1},
      {"start past end", "abc", "a", 4, false, -1},
      {"missing", "abc", "x", 1, false, -1},
      {"empty needle", "abc", "", 1, false, -1},
      {"empty text", "", "a", 1, false, -1},
      {"case-sensitive by default", "Hello", "hello", 1, false, -1},
      {"ignore case", "Hello", "hELLO", 1, true, 1},
      {"second byte of a double-byte char never matches", kTrailA, "a", 1, false, -1},
      {"second byte skipped, later single a found", kTrailA + "a", "a", 1, false, 3},
      {"ignore case never matches at a second byte", kTrailUpperA + "xa", "a", 1, true, 4},
      {"ignore case does not fold second bytes", "x" + kTrailUpperA, "x" + kTrailA, 1, true, -1},
      {"double-byte needle", "ab" + kZhong + "c", kZhong, 1, false, 3},
      {"misaligned double-byte needle refused",
       "\xB0\xD6\xD0\xA1", kZhong, 1, false, -1},  // B0 D6 | D0 A1: 中 straddles two chars
      {"lead-range run pairs from its start", "a\xB0\xB0\xD6\xD0", kZhong, 1, false, 4},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindText(c.text, c.needle, c.start, c.ignoreCase), c.expected) << c.name;
  }
}

TEST(CountText, NonOverlappingAtCharacterStarts) {
  EXPECT_EQ(CountText("aaaa", "aa"), 2);
  EXPECT_EQ(CountText("aaa", "aa"), 1);
  EXPECT_EQ(CountText("Abc abc ABC", "abc", true), 3);
  EXPECT_EQ(CountText("Abc abc ABC", "abc", false), 1);
  EXPECT_EQ(CountText(kTrailA + kTrailA + "a", "a"), 1);
  EXPECT_EQ(CountText(kZhong + "x" + kZhong, kZhong), 2);
  EXPECT_EQ(CountText("abc", ""), 0);
  EXPECT_EQ(CountText("", "a"), 0);
}

TEST(LeftRight, BoundsFollowTheConventions) {
  EXPECT_EQ(LeftText("abc", 2), "ab");
  EXPECT_EQ(LeftText("abc", 10), "abc");
  EXPECT_EQ(LeftText("abc", 0), "");
  EXPECT_EQ(LeftText("abc", -1), "");
  EXPECT_EQ(RightText("abc", 2), "bc");
  EXPECT_EQ(RightText("abc", 10), "abc");
  EXPECT_EQ(RightText("abc", 0), "");
  EXPECT_EQ(RightText("abc", -3), "");
}

TEST(TrimText, AsciiAndFullWidthSpacesAtBothEndsOnly) {
  EXPECT_EQ(TrimText("  a b  "), "a b");
  EXPECT_EQ(TrimText(kFw + " a" + kFw + "b " + kFw), "a" + kFw + "b");
  EXPECT_EQ(TrimText("\ta\t"), "\ta\t");
  EXPECT_EQ(TrimText("\r\na\r\n"), "\r\na\r\n");
  EXPECT_EQ(TrimText("   "), "");
  EXPECT_EQ(TrimText(""), "");
  // B0 A1 A1: the last A1 A1 is not a character (A1 is the second byte of 啊).
  EXPECT_EQ(TrimText("\xB0\xA1\xA1"), "\xB0\xA1\xA1");
  EXPECT_EQ(TrimText("\xB0\xA1" + kFw), "\xB0\xA1");
}

TEST(SplitText, EmptyMembersExceptTheLast) {
  struct Case {
    std::string text, sep;
    TextArray expected;
  };
  const Case cases[] = {
      {"a,b,c", ",", {"a", "b", "c"}},
      {",a,,b", ",", {"", "a", "", "b"}},
      {"a,b,", ",", {"a", "b"}},
      {"a,b,,", ",", {"a", "b", ""}},
      {"", ",", {}},
      {",", ",", {""}},
      {"abc", "", {"abc"}},
      {"a\r\nb\r\n", "\r\n", {"a", "b"}},
      {"x" + kTrailA + "y", "a", {"x" + kTrailA + "y"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitText(c.text, c.sep), c.expected) << c.text;
}

TEST(ReplaceAllText, EveryOccurrence) {
  EXPECT_EQ(ReplaceAllText("a-b-c", "-", "+"), "a+b+c");
  EXPECT_EQ(ReplaceAllText("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceAllText("set-cookie SET-COOKIE", "Set-Cookie", "Set-Cookie", true),
            "Set-Cookie Set-Cookie");
  EXPECT_EQ(ReplaceAllText(kTrailA + "a", "a", "b"), kTrailA + "b");
  EXPECT_EQ(ReplaceAllText("abc", "", "x"), "abc");
  EXPECT_EQ(ReplaceAllText("abc", "b", ""), "ac");
}

TEST(CaseFolding, AsciiOfSingleByteCharactersOnly) {
  EXPECT_EQ(LowerAscii("HeLLo" + kTrailUpperA), "hello" + kTrailUpperA);
  EXPECT_EQ(UpperAscii("hello" + kTrailA), "HELLO" + kTrailA);
  EXPECT_TRUE(EqualsIgnoreCase("HTTPS", "https"));
  EXPECT_FALSE(EqualsIgnoreCase(kTrailA, kTrailUpperA));
  EXPECT_FALSE(EqualsIgnoreCase("ab", "abc"));
}

TEST(TextToInt, TolerantReading) {
  struct Case {
    std::string text;
    int expected;
  };
  const Case cases[] = {
      {"8080", 8080},   {"  42x", 42},           {"-7", -7},         {"+9", 9},
      {"abc", 0},       {"", 0},                 {"\xA3\xB1\xA3\xB2", 12},
      {"99999999999", 2147483647}, {"-99999999999", -2147483647 - 1},
  };
  for (const auto& c : cases) EXPECT_EQ(TextToInt(c.text), c.expected) << c.text;
  EXPECT_EQ(IntToText(-15), "-15");
}

TEST(IsCharStart, PairsLeadRangeBytesFromTheStartOfTheirRun) {
  const struct {
    std::string text;
    std::size_t offset;
    bool expected;
  } cases[] = {
      {"ab", 1, true},
      {kZhong, 1, false},
      {kZhong + "a", 2, true},
      {kTrailA, 1, false},  // 'a' as a second byte
      {"\xB0\xB0\xB0", 2, true},
      {"\xB0\xB0\xB0", 1, false},
      {"a" + kZhong + kZhong, 4, false},
      {"a" + kZhong + kZhong, 3, true},
      {"abc", 0, true},
      {"abc", 3, true},       // the end counts as a start
      {"\x80\xB0", 1, true},  // 0x80 and 0xFF are single-byte characters
      {"\xFF\xB0", 1, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsCharStart(c.text, c.offset), c.expected) << c.offset << " in " << c.text;
  }
}

TEST(FindText, StartPositionOnASecondByte) {
  // Position 2 is the second byte of B0 61: the search starts there but does
  // not match there.
  EXPECT_EQ(FindText(kTrailA + "a", "a", 2), 3);
  EXPECT_EQ(FindText(kTrailA + "a", "a", 2, true), 3);
  EXPECT_EQ(FindText(kZhong + kZhong, kZhong, 2), 3);
}

TEST(FindText, SuccessiveMatchesInLongDoubleByteRuns) {
  // Many matches deep inside one run of lead-range bytes, and the same run
  // shifted by one byte, where no match is at a character start.
  std::string run;
  for (int i = 0; i < 3000; ++i) run += kZhong;
  const std::string shifted = "\xB0" + run + "\xB0";
  EXPECT_EQ(CountText(run, kZhong), 3000);
  EXPECT_EQ(CountText(shifted, kZhong), 0);
  EXPECT_EQ(FindText(run + "X", "x", 1, true), 6001);
  EXPECT_EQ(FindText(shifted + "x", "x", 1, true), 6003);
  EXPECT_EQ(ReplaceAllText(run, kZhong, "-").size(), 3000u);
  EXPECT_EQ(SplitText(shifted, kZhong).size(), 1u);
}

TEST(FindText, IgnoreCaseFoldsExactlyTheLettersAtEveryByteOffset) {
  // Long texts are folded several bytes at a time; check every single-byte
  // character against every other, at every offset within a block.
  std::vector<unsigned char> singles;
  for (int c = 0x01; c <= 0xFF; ++c) {
    if (!IsLeadByte(static_cast<unsigned char>(c)))
      singles.push_back(static_cast<unsigned char>(c));
  }
  auto fold = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
  for (unsigned char h : singles) {
    for (unsigned char n : singles) {
      const std::string text(19, static_cast<char>(h));
      const int expected = fold(h) == fold(n) ? 19 : 0;
      ASSERT_EQ(CountText(text, std::string(1, static_cast<char>(n)), true), expected)
          << std::hex << int(h) << " " << int(n);
    }
  }
  for (std::size_t at = 0; at < 17; ++at) {
    std::string text(17, '.');
    text[at] = 'Q';
    EXPECT_EQ(FindText(text, "q", 1, true), static_cast<int>(at) + 1) << at;
  }
}

TEST(ReplaceAllText, NoRescanAndNoFoldingOfSecondBytes) {
  EXPECT_EQ(ReplaceAllText("aa", "a", "aa"), "aaaa");
  EXPECT_EQ(ReplaceAllText(kTrailUpperA + "A", "a", "b", true), kTrailUpperA + "b");
  EXPECT_EQ(ReplaceAllText(kFw + "x" + kFw, kFw, ""), "x");
  // B0 A1 A1 B0: the A1 A1 in the middle spans two characters.
  EXPECT_EQ(ReplaceAllText("\xB0\xA1\xA1\xB0", kFw, ""), "\xB0\xA1\xA1\xB0");
}

TEST(TextToInt, MoreTolerantReading) {
  const struct {
    std::string text;
    int expected;
  } cases[] = {
      {"\t\r\n 5", 5},
      {"1\xA3\xB2", 12},  // ASCII then full-width digit
      {"- 5", 0},
      {"0x10", 0},
      {"--1", 0},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"\xA3\xAD"
       "1",
       0},  // a full-width minus is no sign
  };
  for (const auto& c : cases) EXPECT_EQ(TextToInt(c.text), c.expected) << c.text;
}

}  // namespace
}  // namespace qa
