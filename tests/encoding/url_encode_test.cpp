#include "encoding/url_encode.h"

#include <gtest/gtest.h>

namespace qa {
namespace {

TEST(UrlEncode, Table) {
  struct Case {
    std::string in;
    bool keepSafe, utf8;
    std::string out;
  };
  const Case cases[] = {
      {"a b", true, true, "a%20b"},
      {"a-b.c_d~e/f", true, true, "a-b.c%5Fd%7Ee%2Ff"},
      {"ab+/=", true, true, "ab%2B%2F%3D"},
      {"\xD6\xD0", true, true, "%E4%B8%AD"},
      {"\xD6\xD0", true, false, "%D6%D0"},
      {"ab", false, true, "%61%62"},
      {"\n", true, true, "%0A"},
      {"", true, true, ""},
      {"AZaz09", true, true, "AZaz09"},
      {"\x80", true, true, "%E2%82%AC"},  // 0x80 is the euro sign in code page 936
  };
  for (const auto& c : cases) EXPECT_EQ(UrlEncode(c.in, c.keepSafe, c.utf8), c.out) << c.in;
}

TEST(UrlEncode, OnlyTheSafeBytesStayAndHexIsUppercase) {
  const std::string hex = "0123456789ABCDEF";
  for (int b = 1; b <= 0xFF; ++b) {
    const std::string in(1, static_cast<char>(b));
    const bool safe = b == '-' || b == '.' || (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') ||
                      (b >= 'a' && b <= 'z');
    const std::string escaped = {'%', hex[b >> 4], hex[b & 15]};
    EXPECT_EQ(UrlEncode(in, true, false), safe ? in : escaped) << b;
    EXPECT_EQ(UrlEncode(in, false, false), escaped) << b;
  }
}

TEST(UrlEncode, Utf8OfUnusualGbk) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"a\xD6", "a%EF%BF%BD"},    // a lone lead byte is malformed: U+FFFD
      {"\xA1\xA1", "%E3%80%80"},  // full-width space U+3000
      {"\xB0\x61", "%E7%99%AE"},  // a character whose second byte reads as 'a'
      {"Q&A=1", "Q%26A%3D1"},
  };
  for (const auto& c : cases) EXPECT_EQ(UrlEncode(c.in), c.out) << c.out;
}

}  // namespace
}  // namespace qa
