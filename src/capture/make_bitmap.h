#pragma once

#include <cstddef>
#include <cstdint>

#include "text/text.h"

namespace qa {

// Builds an uncompressed 32-bit bottom-up BMP file (14-byte file header,
// 40-byte info header, no colour table, pixel data at offset 54) from pixel
// rows given top row first, `stride` bytes apart, 4 bytes per pixel in the
// order blue, green, red, unused. The info header carries biSizeImage =
// width * height * 4 and the given resolutions; the colour counts are 0.
// Empty Bytes when width or height is below 1.
Bytes MakeBitmap32(int width, int height, const std::uint8_t* topRow, std::size_t stride,
                   int xPelsPerMeter = 0, int yPelsPerMeter = 0);

// The same file with every pixel black (all four bytes 0), for filling in
// place. Empty Bytes when width or height is below 1.
Bytes BlankBitmap32(int width, int height, int xPelsPerMeter = 0, int yPelsPerMeter = 0);

// The first byte of row y, counted from the top, of a file made by
// BlankBitmap32 or MakeBitmap32 with the given height; rows are width * 4
// bytes long.
inline std::uint8_t* Bitmap32Row(Bytes& bitmap, int width, int height, int y) {
  return bitmap.data() + 54 + static_cast<std::size_t>(width) * 4 * (height - 1 - y);
}

}  // namespace qa
