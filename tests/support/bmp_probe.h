// Reads the fields and pixels of uncompressed BMP files in tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace qa::test {

struct Rgb {
  int r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

inline std::uint32_t Field32(const std::vector<std::uint8_t>& bmp, std::size_t offset) {
  if (offset + 4 > bmp.size()) return 0;
  return bmp[offset] | (bmp[offset + 1] << 8) | (bmp[offset + 2] << 16) |
         (static_cast<std::uint32_t>(bmp[offset + 3]) << 24);
}

inline std::uint16_t Field16(const std::vector<std::uint8_t>& bmp, std::size_t offset) {
  if (offset + 2 > bmp.size()) return 0;
  return static_cast<std::uint16_t>(bmp[offset] | (bmp[offset + 1] << 8));
}

// The header fields and pixels of a bottom-up BMP at 24 or 32 bits per pixel.
struct BmpProbe {
  explicit BmpProbe(std::vector<std::uint8_t> bytes) : bmp(std::move(bytes)) {}

  bool Valid() const {
    return bmp.size() >= 54 && bmp[0] == 'B' && bmp[1] == 'M' && Width() > 0 && Height() > 0 &&
           (BitCount() == 24 || BitCount() == 32) &&
           PixelOffset() + Stride() * static_cast<std::size_t>(Height()) <= bmp.size();
  }
  int Width() const { return static_cast<std::int32_t>(Field32(bmp, 18)); }
  int Height() const { return static_cast<std::int32_t>(Field32(bmp, 22)); }
  int BitCount() const { return Field16(bmp, 28); }
  std::size_t PixelOffset() const { return Field32(bmp, 10); }
  std::size_t Stride() const {
    return (static_cast<std::size_t>(Width()) * BitCount() + 31) / 32 * 4;
  }

  // The pixel at x, y counted from the top-left corner.
  Rgb At(int x, int y) const {
    const std::size_t at = PixelOffset() + Stride() * static_cast<std::size_t>(Height() - 1 - y) +
                           static_cast<std::size_t>(x) * (BitCount() / 8);
    return {bmp[at + 2], bmp[at + 1], bmp[at]};
  }

  std::vector<std::uint8_t> bmp;
};

// A 32-bit bottom-up BMP of width x height whose pixels come from
// `colour(x, y)` (x, y from the top-left corner); the unused byte is `unused`.
template <typename ColourOf>
std::vector<std::uint8_t> MakeTestBmp32(int width, int height, ColourOf colour,
                                        std::uint8_t unused = 0) {
  const std::size_t stride = static_cast<std::size_t>(width) * 4;
  std::vector<std::uint8_t> bmp(54 + stride * height, 0);
  auto put32 = [&bmp](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  bmp[0] = 'B';
  bmp[1] = 'M';
  put32(2, static_cast<std::uint32_t>(bmp.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(width));
  put32(22, static_cast<std::uint32_t>(height));
  bmp[26] = 1;
  bmp[28] = 32;
  put32(34, static_cast<std::uint32_t>(stride * height));
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bmp.data() + 54 + stride * (height - 1 - y);
    for (int x = 0; x < width; ++x) {
      const Rgb c = colour(x, y);
      row[4 * x] = static_cast<std::uint8_t>(c.b);
      row[4 * x + 1] = static_cast<std::uint8_t>(c.g);
      row[4 * x + 2] = static_cast<std::uint8_t>(c.r);
      row[4 * x + 3] = unused;
    }
  }
  return bmp;
}

}  // namespace qa::test
