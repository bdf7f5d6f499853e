#include "text/text.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace qa
