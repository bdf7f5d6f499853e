#include "encoding/base64.h"

#include <gtest/gtest.h>

namespace qa {
namespace {

TEST(Base64Encode, PaddingAndAlphabet) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"", ""},
      {"M", "TQ=="},
      {"Ma", "TWE="},
      {"Man", "TWFu"},
      {"\xFB\xFF", "+/8="},
      {std::string("\0\0\0", 3), "AAAA"},
      {"foobar", "Zm9vYmFy"},
  };
  for (const auto& c : cases) EXPECT_EQ(Base64Encode(c.in), c.out) << c.in;
}

TEST(Base64Encode, LongInputIsOneLine) {
  EXPECT_EQ(Base64Encode(std::string(57, 'x')).size(), 76u);
  Bytes big(20000);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7);
  Text out = Base64Encode(big);
  EXPECT_EQ(out.size(), 4u * ((big.size() + 2) / 3));
  EXPECT_EQ(out.find('\n'), std::string::npos);
  EXPECT_EQ(out.back(), '=');
}

}  // namespace
}  // namespace qa
