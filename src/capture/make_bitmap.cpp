#include "capture/make_bitmap.h"

#include <cstring>

namespace qa {
namespace {

void Put16(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value);
  at[1] = static_cast<std::uint8_t>(value >> 8);
}

void Put32(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

Bytes BlankBitmap32(int width, int height, int xPelsPerMeter, int yPelsPerMeter) {
  if (width < 1 || height < 1) return {};
  constexpr std::size_t kHeaders = 54;
  const std::size_t imageSize =
      static_cast<std::size_t>(width) * 4 * static_cast<std::size_t>(height);
  if (imageSize > 0xFFFFFFFFu - kHeaders) return {};

  Bytes file(kHeaders + imageSize);
  std::uint8_t* h = file.data();
  h[0] = 'B';
  h[1] = 'M';
  Put32(h + 2, static_cast<std::uint32_t>(file.size()));  // bfSize
  Put32(h + 10, kHeaders);                                // bfOffBits
  Put32(h + 14, 40);                                      // biSize
  Put32(h + 18, static_cast<std::uint32_t>(width));
  Put32(h + 22, static_cast<std::uint32_t>(height));  // positive: bottom row first
  Put16(h + 26, 1);                                   // biPlanes
  Put16(h + 28, 32);                                  // biBitCount
  Put32(h + 30, 0);                                   // BI_RGB
  Put32(h + 34, static_cast<std::uint32_t>(imageSize));
  Put32(h + 38, static_cast<std::uint32_t>(xPelsPerMeter));
  Put32(h + 42, static_cast<std::uint32_t>(yPelsPerMeter));
  // biClrUsed and biClrImportant stay 0.
  return file;
}

Bytes MakeBitmap32(int width, int height, const std::uint8_t* topRow, std::size_t stride,
                   int xPelsPerMeter, int yPelsPerMeter) {
  if (topRow == nullptr) return {};
  Bytes file = BlankBitmap32(width, height, xPelsPerMeter, yPelsPerMeter);
  if (file.empty()) return file;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
  for (int y = 0; y < height; ++y) {
    std::memcpy(Bitmap32Row(file, width, height, y), topRow + static_cast<std::size_t>(y) * stride,
                rowBytes);
  }
  return file;
}

}  // namespace qa
