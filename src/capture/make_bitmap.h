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

}  // namespace qa
