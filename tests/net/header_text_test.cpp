#include "net/header_text.h"

#include <gtest/gtest.h>

namespace qa {
namespace {

struct BetweenCase {
  const char* name;
  std::string source;
  std::string startMarker;
  std::string endMarker;
  int startPos;
  bool ignoreCase;
  std::string expected;
};

TEST(TextBetween, Table) {
  const std::string quoteWord = "#\xD2\xFD\xBA\xC5";  // #引号
  const BetweenCase cases[] = {
      {"value up to the end marker", "a=1; b=2", "a=", ";", 1, false, "1"},
      {"no end marker after the value", "a=1; b=2", "b=", ";", 1, false, ""},
      {"start marker missing", "a=1; b=2", "c=", ";", 1, false, ""},
      {"quote marker word in both markers", "x=\"v\" y=\"w\"", "y=" + quoteWord, quoteWord, 1,
       false, "w"},
      {"quote marker word is matched exactly", "k=#\xD2\xFDv;", "k=#\xD2\xFD", ";", 1, false, "v"},
      {"end marker only before the start marker", "; a=1", "a=", ";", 1, false, ""},
      {"start marker is the last thing", "xx a=", "a=", ";", 1, false, ""},
      {"end marker right after the start marker", "a=;", "a=", ";", 1, false, ""},
      {"case-sensitive by default", "user-agent: X\r\n", "User-Agent:", "\r\n", 1, false, ""},
      {"ignore case on request", "user-agent: X\r\n", "User-Agent:", "\r\n", 1, true, " X"},
      {"ignore case also for the end marker", "a=1END", "A=", "end", 1, true, "1"},
      {"start position skips an earlier match", "a=1; a=2;", "a=", ";", 2, false, "2"},
      {"start position below one counts as one", "a=1;", "a=", ";", -3, false, "1"},
      {"start position past the end", "a=1;", "a=", ";", 99, false, ""},
      {"empty start marker", "a=1;", "", ";", 1, false, ""},
      {"empty end marker", "a=1;", "a=", "", 1, false, ""},
      {"end marker found only at a character start", "a=\xB0;x;", "a=", ";", 1, false, "\xB0;x"},
      {"marker at a second byte is not found", "\xB0\x61=1;a=2;", "a=", ";", 1, false, "2"},
      {"first value of several", "Set-Cookie: a=1; path=/", "Set-Cookie:", ";", 1, false, " a=1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TextBetween(c.source, c.startMarker, c.endMarker, c.startPos, c.ignoreCase),
              c.expected)
        << c.name;
  }
}

TEST(ValueAfterColon, Table) {
  const struct {
    std::string text;
    std::string expected;
  } cases[] = {
      {"User-Agent:  Foo/1.0 ", "Foo/1.0"},
      {"no colon here", ""},
      {"A: b\r\nC: d", "b\r\nC: d"},
      {"Host:", ""},
      {"a:b:c", "b:c"},
      {"Name:\xA1\xA1v\xA1\xA1", "v"},  // full-width spaces are trimmed too
      {"Name:\tv", "\tv"},              // tabs are not spaces here
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ValueAfterColon(c.text), c.expected) << c.text;
}

TEST(Utf8BodyToText, Table) {
  const struct {
    const char* name;
    std::string body;
    std::string expected;
  } cases[] = {
      {"Chinese", "\xE4\xBD\xA0\xE5\xA5\xBD", "\xC4\xE3\xBA\xC3"},  // 你好
      {"empty body", "", ""},
      {"stops at the first NUL", std::string("ab\0cd", 5), "ab"},
      {"NUL first", std::string("\0ab", 3), ""},
      {"ASCII passes", "{\"a\":1}", "{\"a\":1}"},
      {"character GBK lacks becomes ?", "\xF0\x9F\x98\x80", "?"},  // U+1F600
      {"malformed UTF-8 becomes ?", std::string("a\xFF") + "b", "a?b"},
      {"euro sign is GBK byte 80", "\xE2\x82\xAC", "\x80"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8BodyToText(c.body), c.expected) << c.name;
    EXPECT_EQ(Utf8BodyToText(TextToBytes(c.body)), c.expected) << c.name << " (Bytes)";
  }
}

}  // namespace
}  // namespace qa
