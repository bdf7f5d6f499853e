#include "capture/crop_bitmap.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

namespace qa {
namespace {

std::uint32_t Read32(const Bytes& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
         (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint16_t Read16(const Bytes& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::size_t Stride(long long width, int bitCount) {
  return static_cast<std::size_t>((width * bitCount + 31) / 32 * 4);
}

// A bottom-up BMP as the capture writes it (with a colour table at 8 bits per
// pixel); every pixel byte holds a value derived from its offset so that a
// copy from the wrong place shows.
Bytes MakeBmp(int width, int height, int bitCount, std::uint32_t compression = 0) {
  const std::size_t dataOffset = bitCount == 8 ? 1078 : 54;
  const std::size_t imageSize = Stride(width, bitCount) * static_cast<std::size_t>(height);
  Bytes b(dataOffset + imageSize, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, static_cast<std::uint32_t>(b.size()));
  Put32(b, 10, static_cast<std::uint32_t>(dataOffset));
  Put32(b, 14, 40);
  Put32(b, 18, static_cast<std::uint32_t>(width));
  Put32(b, 22, static_cast<std::uint32_t>(height));
  b[26] = 1;
  b[28] = static_cast<std::uint8_t>(bitCount);
  Put32(b, 30, compression);
  Put32(b, 34, static_cast<std::uint32_t>(imageSize));
  for (std::size_t i = 54; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  return b;
}

// Only the header of a source: width, height and bit count, nothing behind.
Bytes MakeHeaderOnly(std::int32_t width, std::int32_t height, int bitCount) {
  Bytes b = MakeBmp(1, 1, 32);
  b.resize(54);
  Put32(b, 18, static_cast<std::uint32_t>(width));
  Put32(b, 22, static_cast<std::uint32_t>(height));
  b[28] = static_cast<std::uint8_t>(bitCount);
  return b;
}

Bytes Slice(const Bytes& b, std::size_t at, std::size_t n) {
  return Bytes(b.begin() + static_cast<std::ptrdiff_t>(at),
               b.begin() + static_cast<std::ptrdiff_t>(at + n));
}

void ExpectHeaders(const Bytes& out, std::uint32_t dataOffset, int width, int height,
                   int bitCount) {
  ASSERT_GE(out.size(), dataOffset);
  const std::size_t imageSize = Stride(width, bitCount) * static_cast<std::size_t>(height);
  EXPECT_EQ(out.size(), dataOffset + imageSize);
  EXPECT_EQ(out[0], 'B');
  EXPECT_EQ(out[1], 'M');
  EXPECT_EQ(Read32(out, 2), dataOffset + imageSize);  // bfSize
  EXPECT_EQ(Read32(out, 6), 0u);                      // both reserved fields
  EXPECT_EQ(Read32(out, 10), dataOffset);             // bfOffBits
  EXPECT_EQ(Read32(out, 14), 40u);                    // biSize
  EXPECT_EQ(static_cast<std::int32_t>(Read32(out, 18)), width);
  EXPECT_EQ(static_cast<std::int32_t>(Read32(out, 22)), height);
  EXPECT_EQ(Read16(out, 26), 1);
  EXPECT_EQ(Read16(out, 28), bitCount);
  for (std::size_t at = 30; at < 54; at += 4) EXPECT_EQ(Read32(out, at), 0u) << "offset " << at;
}

TEST(CropBitmap, CutsTheRectangleOutOfA32BitCapture) {
  const Bytes src = MakeBmp(300, 200, 32);
  const Bytes out = CropBitmap(src, 10, 20, 100, 50);
  ExpectHeaders(out, 54, 100, 50, 32);
  ASSERT_EQ(out.size(), 54u + 100 * 50 * 4);
  // Output row r (bottom first) is source row 130 + r from the bottom, 10 pixels in.
  for (std::size_t r = 0; r < 50; ++r) {
    EXPECT_EQ(Slice(out, 54 + r * 400, 400), Slice(src, 54 + (130 + r) * 1200 + 40, 400))
        << "row " << r;
  }
}

TEST(CropBitmap, ClipsToTheImage) {
  const Bytes src = MakeBmp(300, 200, 32);
  const struct {
    const char* name;
    int left, top, width, height;
    int outWidth, outHeight;
  } cases[] = {
      {"past the right edge", 250, 0, 100, 10, 50, 10},
      {"past the bottom edge", 0, 180, 10, 50, 10, 20},
      {"past both", 299, 199, INT_MAX, INT_MAX, 1, 1},
      {"whole image", 0, 0, 300, 200, 300, 200},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes out = CropBitmap(src, c.left, c.top, c.width, c.height);
    ExpectHeaders(out, 54, c.outWidth, c.outHeight, 32);
    if (out.size() < 54 + std::size_t(c.outWidth) * 4) continue;
    const std::size_t bottomRow = 200 - c.top - c.outHeight;
    EXPECT_EQ(
        Slice(out, 54, std::size_t(c.outWidth) * 4),
        Slice(src, 54 + bottomRow * 1200 + std::size_t(c.left) * 4, std::size_t(c.outWidth) * 4));
  }
}

TEST(CropBitmap, RefusesRectanglesOutsideTheImage) {
  const Bytes src = MakeBmp(30, 20, 32);
  const struct {
    const char* name;
    int left, top, width, height;
  } cases[] = {
      {"left at the width", 30, 0, 1, 1}, {"top at the height", 0, 20, 1, 1},
      {"negative left", -1, 0, 5, 5},     {"negative top", 0, -1, 5, 5},
      {"zero width", 0, 0, 0, 5},         {"zero height", 0, 0, 5, 0},
      {"negative width", 0, 0, -5, 5},    {"lowest int left", INT_MIN, 0, 5, 5},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(CropBitmap(src, c.left, c.top, c.width, c.height).empty()) << c.name;
  }
}

TEST(CropBitmap, RefusesSourcesItCannotCut) {
  Bytes topDown = MakeBmp(4, 4, 32);
  Put32(topDown, 22, static_cast<std::uint32_t>(-4));
  const struct {
    const char* name;
    Bytes source;
  } cases[] = {
      {"empty source", {}},
      {"4 bits per pixel", MakeBmp(8, 4, 4)},
      {"1 bit per pixel", MakeBmp(32, 4, 1)},
      {"run-length compressed", MakeBmp(4, 4, 8, 1)},
      {"bit fields", MakeBmp(4, 4, 32, 3)},
      {"12 bits per pixel", MakeBmp(4, 4, 12)},
      {"48 bits per pixel", MakeBmp(4, 4, 48)},
      {"rows stored top row first", topDown},
      {"zero width", MakeHeaderOnly(0, 4, 32)},
  };
  for (const auto& c : cases) EXPECT_TRUE(CropBitmap(c.source, 0, 0, 2, 2).empty()) << c.name;
}

TEST(CropBitmap, PadsRowsAndCopiesTheWholePaddedRow) {
  // 24 bits, 5 pixels wide: source stride 16; a 2-pixel crop has stride 8, and
  // its last 2 bytes come from the source pixel right of the rectangle.
  const Bytes src = MakeBmp(5, 3, 24);
  const Bytes out = CropBitmap(src, 1, 1, 2, 1);
  ExpectHeaders(out, 54, 2, 1, 24);
  ASSERT_EQ(out.size(), 54u + 8);
  EXPECT_EQ(Slice(out, 54, 8), Slice(src, 54 + 1 * 16 + 3, 8));
}

TEST(CropBitmap, SixteenBits) {
  const Bytes src = MakeBmp(7, 5, 16);  // stride 16
  const Bytes out = CropBitmap(src, 2, 1, 3, 2);
  ExpectHeaders(out, 54, 3, 2, 16);
  ASSERT_EQ(out.size(), 54u + 2 * 8);
  EXPECT_EQ(Slice(out, 54, 8), Slice(src, 54 + 2 * 16 + 4, 8));
  EXPECT_EQ(Slice(out, 62, 8), Slice(src, 54 + 3 * 16 + 4, 8));
}

TEST(CropBitmap, EightBitsKeepTheColourTable) {
  const Bytes src = MakeBmp(10, 6, 8);  // stride 12
  const Bytes out = CropBitmap(src, 3, 2, 5, 3);
  ExpectHeaders(out, 1078, 5, 3, 8);
  ASSERT_EQ(out.size(), 1078u + 8 * 3);
  EXPECT_EQ(Slice(out, 54, 1024), Slice(src, 54, 1024));
  for (std::size_t r = 0; r < 3; ++r) {
    EXPECT_EQ(Slice(out, 1078 + r * 8, 8), Slice(src, 1078 + (1 + r) * 12 + 3, 8)) << r;
  }
}

TEST(CropBitmap, PaddedRowPastTheEndOfTheSourceIsZeroFilled) {
  // 8 bits, 4 pixels wide: rows have no padding, so the 4-byte output row of
  // the top-right pixel reaches 3 bytes past the end of the source.
  const Bytes src = MakeBmp(4, 2, 8);
  const Bytes top = CropBitmap(src, 3, 0, 1, 1);
  ExpectHeaders(top, 1078, 1, 1, 8);
  ASSERT_EQ(top.size(), 1078u + 4);
  EXPECT_EQ(Slice(top, 1078, 4), (Bytes{src[1078 + 4 + 3], 0, 0, 0}));
  // The same crop one row lower reads on into the row above, as stored.
  const Bytes bottom = CropBitmap(src, 3, 1, 1, 1);
  ASSERT_EQ(bottom.size(), 1078u + 4);
  EXPECT_EQ(Slice(bottom, 1078, 4), Slice(src, 1078 + 3, 4));
}

TEST(CropBitmap, ShortSourcesReadAsZeroBeyondTheirEnd) {
  // The pixel rows are cut off half-way through the rectangle.
  Bytes src = MakeBmp(20, 10, 32);  // stride 80
  src.resize(54 + 80 * 5 + 8);
  const Bytes out = CropBitmap(src, 0, 0, 4, 10);
  ExpectHeaders(out, 54, 4, 10, 32);
  ASSERT_EQ(out.size(), 54u + 16 * 10);
  for (std::size_t r = 0; r < 10; ++r) {
    const std::size_t from = 54 + r * 80;
    Bytes expected(16, 0);
    for (std::size_t i = 0; i < 16 && from + i < src.size(); ++i) expected[i] = src[from + i];
    EXPECT_EQ(Slice(out, 54 + r * 16, 16), expected) << "row " << r;
  }

  // An 8-bit source that ends inside its colour table.
  Bytes palette = MakeBmp(4, 4, 8);
  palette.resize(54 + 100);
  const Bytes cut = CropBitmap(palette, 0, 0, 2, 2);
  ExpectHeaders(cut, 1078, 2, 2, 8);
  ASSERT_EQ(cut.size(), 1078u + 8);
  EXPECT_EQ(Slice(cut, 54, 100), Slice(palette, 54, 100));
  EXPECT_EQ(Slice(cut, 154, 1024 - 100 + 8), Bytes(1024 - 100 + 8, 0));

  // A header cut off before its bit count reads the rest as zero: refused.
  Bytes stub = MakeBmp(4, 4, 32);
  stub.resize(27);
  EXPECT_TRUE(CropBitmap(stub, 0, 0, 1, 1).empty());
}

TEST(CropBitmap, HostileHeadersNeverReadOutsideTheSource) {
  // Sources of only 54 bytes whose headers claim huge images. The results are
  // well-formed crops with zero pixels, or refusals when the crop itself would
  // be absurdly large; ASan builds check that nothing is read outside.
  const struct {
    const char* name;
    std::int32_t srcWidth, srcHeight;
    int bitCount;
    int left, top, width, height;
    bool refused;
  } cases[] = {
      {"claims a capture it lacks", 248, 392, 32, 0, 0, 248, 392, false},
      {"largest width and height, small crop", INT_MAX, INT_MAX, 32, 0, 0, 10, 10, false},
      {"rows beyond 64-bit offsets", INT_MAX, INT_MAX, 32, 5, 7, 3, 3, false},
      {"crop at the far right edge", INT_MAX, 2, 24, INT_MAX - 1, 0, 100, 2, false},
      {"stride times height passes 32 bits", 70000, 70000, 32, 0, 0, 2, 70000, false},
      {"whole huge image", INT_MAX, INT_MAX, 32, 0, 0, INT_MAX, INT_MAX, true},
      {"crop row alone over the limit", INT_MAX, 1, 32, 0, 0, INT_MAX, 1, true},
      {"wide and tall crop over the limit", 70000, 70000, 32, 0, 0, 70000, 70000, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes src = MakeHeaderOnly(c.srcWidth, c.srcHeight, c.bitCount);
    const Bytes out = CropBitmap(src, c.left, c.top, c.width, c.height);
    if (c.refused) {
      EXPECT_TRUE(out.empty());
      continue;
    }
    const int outWidth = static_cast<int>(std::min<long long>(c.width, 0LL + c.srcWidth - c.left));
    const int outHeight =
        static_cast<int>(std::min<long long>(c.height, 0LL + c.srcHeight - c.top));
    ExpectHeaders(out, 54, outWidth, outHeight, c.bitCount);
    for (std::size_t i = 54; i < out.size(); ++i) {
      if (out[i] != 0) {
        ADD_FAILURE() << "non-zero pixel byte at " << i;
        break;
      }
    }
  }
}

TEST(CropBitmap, LeavesTheSourceAlone) {
  const Bytes src = MakeBmp(8, 8, 24);
  const Bytes copy = src;
  (void)CropBitmap(src, 1, 1, 3, 3);
  EXPECT_EQ(src, copy);
}

}  // namespace
}  // namespace qa
