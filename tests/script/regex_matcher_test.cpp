#include "script/regex_matcher.h"

#include <gtest/gtest.h>

namespace qa {
namespace {

// The pattern web pages are sniffed with for their declared character set.
const char kCharsetPattern[] = "<meta.+?charset=[^\\w]?([-\\w]+)";

TEST(RegexMatcher, CharsetSniffing) {
  const struct {
    const char* page;
    int count;
    const char* charset;
  } cases[] = {
      {"<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">", 1,
       "utf-8"},
      {"<head><meta charset=\"gbk\"><title>x</title>", 1, "gbk"},
      {"<META CHARSET='GB2312'>", 1, "GB2312"},
      {"<meta charset=utf-8><p>\xD6\xD0</p><meta charset=big5>", 2, "utf-8"},
      {"<meta\ncharset=utf-8>", 0, ""},          // the dot stops at a line feed
      {"<meta a\r charset=utf-8>", 1, "utf-8"},  // but not at a carriage return
      {"<html><body>no declaration</body></html>", 0, ""},
      {"", 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.page);
    RegexMatcher re;
    EXPECT_TRUE(re.Match(kCharsetPattern, c.page));
    EXPECT_EQ(re.GetMatchCount(), c.count);
    EXPECT_EQ(re.GetSubMatchText(1, 1), c.charset);
  }
}

TEST(RegexMatcher, Options) {
  const struct {
    const char* pattern;
    const char* subject;
    bool caseSensitive, multiline, global;
    int count;
  } cases[] = {
      {"meta", "<META>", false, true, true, 1},
      {"meta", "<META>", true, true, true, 0},
      {"^b", "a\nb", false, true, true, 1},
      {"^b", "a\nb", false, false, true, 0},
      {"a$", "a\nb", false, true, true, 1},
      {"\\d", "1a2b3", false, true, true, 3},
      {"\\d", "1a2b3", false, true, false, 1},
      {"x*", "ab", false, true, true, 3},  // empty matches step on
      {"a.b",
       "a\xD6\xD0"
       "b",
       false, true, true, 1},  // a double-byte character is one
      {"a..b",
       "a\xD6\xD0"
       "b",
       false, true, true, 0},
      {"a.b", "a\tb", false, true, true, 1},
      {"[.]", "a.b", false, true, true, 1},
      {"\\.", "abc", false, true, true, 0},
      {"[^.]\\.", "x.", false, true, true, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.pattern) + " on " + c.subject);
    RegexMatcher re;
    EXPECT_TRUE(re.Match(c.pattern, c.subject, c.caseSensitive, c.multiline, c.global));
    EXPECT_EQ(re.GetMatchCount(), c.count);
  }
}

TEST(RegexMatcher, InvalidPattern) {
  for (const char* pattern : {"(abc", "[a-", "a{2,1}", "*"}) {
    SCOPED_TRACE(pattern);
    RegexMatcher re;
    EXPECT_FALSE(re.Match(pattern, "abc"));
    EXPECT_EQ(re.GetMatchCount(), 0);
    EXPECT_EQ(re.GetMatchText(1), "");
    EXPECT_EQ(re.GetSubMatchCount(), 0);
    EXPECT_EQ(re.Replace("x"), "");
    EXPECT_EQ(re.GetPattern(), pattern);
  }
  // A good pattern afterwards works again.
  RegexMatcher re;
  EXPECT_FALSE(re.Match("(", "a"));
  EXPECT_TRUE(re.Match("a", "a"));
  EXPECT_EQ(re.GetMatchCount(), 1);
}

TEST(RegexMatcher, QuoteMarker) {
  const std::string pattern =
      std::string("a=") + std::string(kQuoteMarker) + "(\\w+)" + std::string(kQuoteMarker);
  RegexMatcher re;
  EXPECT_TRUE(re.Match(pattern, "x a=\"val\" y", false, true, true, true));
  EXPECT_EQ(re.GetPattern(), "a=\"(\\w+)\"");
  EXPECT_EQ(re.GetSubMatchText(1, 1), "val");

  EXPECT_TRUE(re.Match(pattern, "x a=\"val\" y"));  // without the option the marker stays
  EXPECT_EQ(re.GetPattern(), pattern);
  EXPECT_EQ(re.GetMatchCount(), 0);
}

TEST(RegexMatcher, BeforeAnyMatch) {
  RegexMatcher re;
  int position = 99;
  EXPECT_EQ(re.GetPattern(), "");
  EXPECT_EQ(re.GetMatchCount(), 0);
  EXPECT_EQ(re.GetSubMatchCount(), 0);
  EXPECT_EQ(re.GetMatchText(1, &position), "");
  EXPECT_EQ(position, -2);
  EXPECT_EQ(re.Replace("x"), "");
}

TEST(RegexMatcher, Replace) {
  const struct {
    const char* pattern;
    const char* subject;
    bool global;
    const char* replacement;
    const char* result;
  } cases[] = {
      {"\\d+", "a1b22", true, "#", "a#b#"},
      {"\\d+", "a1b22", false, "#", "a#b22"},
      {"(\\d+)", "a1b22", true, "<$1>", "a<1>b<22>"},
      {"b", "abc", true, "[$&$`$'$$]", "a[bac$]c"},
      {"\\d", "a1", true, "", "a"},
      {"x", "abc", true, "#", "abc"},
      {"\xD6\xD0", "\xD6\xD0\xCE\xC4\xD6\xD0", true, "\xB9\xFA", "\xB9\xFA\xCE\xC4\xB9\xFA"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.pattern) + " on " + c.subject);
    RegexMatcher re;
    ASSERT_TRUE(re.Match(c.pattern, c.subject, false, true, c.global));
    EXPECT_EQ(re.Replace(c.replacement), c.result);
  }
  RegexMatcher re;
  re.Match("\\d", "a1");
  EXPECT_EQ(re.Replace(), "a");  // the replacement defaults to the empty text
}

TEST(RegexMatcher, MatchAndSubMatchTexts) {
  RegexMatcher re;
  ASSERT_TRUE(re.Match("(\\w)(\\d)?-", "a1-b-"));
  EXPECT_EQ(re.GetMatchCount(), 2);
  EXPECT_EQ(re.GetSubMatchCount(), 2);
  EXPECT_EQ(re.GetMatchText(1), "a1-");
  EXPECT_EQ(re.GetMatchText(2), "b-");
  EXPECT_EQ(re.GetSubMatchText(1, 2), "1");
  EXPECT_EQ(re.GetSubMatchText(2, 1), "b");
  EXPECT_EQ(re.GetSubMatchText(2, 2), "");  // took no part
  for (int n : {0, -1, 3}) {
    EXPECT_EQ(re.GetMatchText(n), "");
    EXPECT_EQ(re.GetSubMatchText(n, 1), "");
  }
  EXPECT_EQ(re.GetSubMatchText(1, 0), "");
  EXPECT_EQ(re.GetSubMatchText(1, 3), "");

  ASSERT_TRUE(re.Match("(a)(b)", "xyz"));
  EXPECT_EQ(re.GetSubMatchCount(), 0);  // no first match
  ASSERT_TRUE(re.Match("ab", "ab"));
  EXPECT_EQ(re.GetSubMatchCount(), 0);
}

TEST(RegexMatcher, ChineseTextRoundTrips) {
  RegexMatcher re;
  // "中(.)" over "中文中国"
  ASSERT_TRUE(re.Match("\xD6\xD0(.)", "\xD6\xD0\xCE\xC4\xD6\xD0\xB9\xFA"));
  ASSERT_EQ(re.GetMatchCount(), 2);
  EXPECT_EQ(re.GetSubMatchText(1, 1), "\xCE\xC4");
  EXPECT_EQ(re.GetSubMatchText(2, 1), "\xB9\xFA");
}

// Positions are 0-based byte offsets in the GBK subject.
TEST(RegexMatcher, Positions) {
  const struct {
    const char* pattern;
    std::string subject;
    int n, k;  // k 0: the whole match
    const char* text;
    int position;
  } cases[] = {
      {"a",
       "\xD6\xD0"
       "a",
       1, 0, "a", 2},
      {"a", "ab", 1, 0, "a", 0},
      {"a",
       "\xD6\xD0"
       "aa",
       2, 0, "a", 3},  // not the earlier "a" at 2
      {"a",
       "\xD6\xD0\xCE\xC4"
       "a"
       "\xB9\xFA"
       "a",
       2, 0, "a", 7},
      {"\xCE\xC4(a)",
       "\xD6\xD0\xCE\xC4"
       "a",
       1, 1, "a", 4},
      {"(a)a\\1", "aaa", 1, 1, "a", 0},
      {"b(x)?",
       "\xD6\xD0"
       "b",
       1, 1, "", 2},                    // a group that took no part: the match start
      {"x*", "\xD6\xD0", 2, 0, "", 2},  // an empty match at the end
      {"a",
       "\x81\x30"
       "a",
       1, 0, "a", 2},           // a malformed pair is two characters
      {"a", "a", 2, 0, "", 0},  // no such match: 0
      {"a", "a", 1, 2, "", 0},  // no such group: 0
      {"a", "", 1, 0, "", -2},  // no such match in an empty subject
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.pattern) + " on " + c.subject);
    RegexMatcher re;
    ASSERT_TRUE(re.Match(c.pattern, c.subject));
    int position = 99;
    EXPECT_EQ(c.k == 0 ? re.GetMatchText(c.n, &position) : re.GetSubMatchText(c.n, c.k, &position),
              c.text);
    EXPECT_EQ(position, c.position);
  }
}

TEST(RegexMatcher, CopySharesResultsUntilItsOwnMatch) {
  auto original = std::make_unique<RegexMatcher>();
  ASSERT_TRUE(original->Match("(\\d+)", "a12b3"));
  RegexMatcher copy = original->Copy();
  EXPECT_EQ(copy.GetMatchCount(), 2);
  EXPECT_EQ(copy.GetSubMatchText(2, 1), "3");
  EXPECT_EQ(copy.Replace("#"), "a#b#");

  ASSERT_TRUE(copy.Match("x", "xx", false, true, false));
  EXPECT_EQ(copy.GetMatchCount(), 1);
  EXPECT_EQ(original->GetMatchCount(), 2);
  EXPECT_EQ(original->GetPattern(), "(\\d+)");
  EXPECT_EQ(original->Replace("#"), "a#b#");
  original.reset();
  EXPECT_EQ(copy.Replace("y"), "yx");
}

TEST(RegexMatcher, ReusedForManyMatches) {
  RegexMatcher re;
  for (int i = 0; i < 200; ++i) {
    const Text digits = IntToText(i);
    ASSERT_TRUE(re.Match("(\\d+)", "n=" + digits));
    ASSERT_EQ(re.GetSubMatchText(1, 1), digits);
  }
}

}  // namespace
}  // namespace qa
