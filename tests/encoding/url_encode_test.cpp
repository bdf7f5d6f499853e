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

}  // namespace
}  // namespace qa
