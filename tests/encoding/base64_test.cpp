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

TEST(Base64Encode, WholeAlphabetInOrder) {
  // These 48 bytes are the 6-bit values 0 to 63 in order.
  const Bytes values = {0x00, 0x10, 0x83, 0x10, 0x51, 0x87, 0x20, 0x92, 0x8B, 0x30, 0xD3, 0x8F,
                        0x41, 0x14, 0x93, 0x51, 0x55, 0x97, 0x61, 0x96, 0x9B, 0x71, 0xD7, 0x9F,
                        0x82, 0x18, 0xA3, 0x92, 0x59, 0xA7, 0xA2, 0x9A, 0xAB, 0xB2, 0xDB, 0xAF,
                        0xC3, 0x1C, 0xB3, 0xD3, 0x5D, 0xB7, 0xE3, 0x9E, 0xBB, 0xF3, 0xDF, 0xBF};
  EXPECT_EQ(Base64Encode(values),
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
  EXPECT_EQ(
      Base64Encode(std::string_view(reinterpret_cast<const char*>(values.data()), values.size())),
      Base64Encode(values));
}

TEST(Base64Encode, PadsEveryLengthRemainder) {
  const struct {
    Bytes in;
    std::string out;
  } cases[] = {
      {{0xFF}, "/w=="},
      {{0xFF, 0xFF}, "//8="},
      {{0xFF, 0xFF, 0xFF}, "////"},
      {{0x00, 0x00, 0x00, 0x00}, "AAAAAA=="},
  };
  for (const auto& c : cases) EXPECT_EQ(Base64Encode(c.in), c.out) << c.out;
}

}  // namespace
}  // namespace qa
