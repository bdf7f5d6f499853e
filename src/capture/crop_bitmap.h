#pragma once

#include "text/text.h"

namespace qa {

// Cuts the rectangle (pixels, (0,0) at the top-left) out of an uncompressed
// bottom-up BMP of 8, 16, 24 or 32 bits per pixel and returns it as a new BMP
// file; the rectangle is clipped to the image. Empty Bytes for a compressed
// source, a bit count other than 8, 16, 24 or 32, a rectangle that does not
// start inside the image, or a crop larger than 256 MiB. Never reads outside
// the source: bytes a short source lacks come out as zero.
Bytes CropBitmap(const Bytes& source, int left, int top, int width, int height);

}  // namespace qa
