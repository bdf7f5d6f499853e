#pragma once

#include "text/text.h"

namespace qa {

// Target formats of ReencodeImage.
using ImageFormat = int;
inline constexpr ImageFormat kImageBmp = 1;
inline constexpr ImageFormat kImageJpeg = 2;
inline constexpr ImageFormat kImageGif = 3;
inline constexpr ImageFormat kImageTiff = 4;
inline constexpr ImageFormat kImagePng = 5;

// Decodes `source` (BMP, JPEG, PNG, GIF, TIFF, PNM, WebP... whatever the
// codec reads) and encodes it as `format` with the encoder's default settings
// (JPEG at quality 75). On success the encoded bytes go to `*result` (when
// given; it may be the source itself), also to the file `fileName` when that
// is not empty after trimming spaces, and the call returns true. On failure
// (a source under 3 bytes, bytes that do not decode, a JPEG, PNG, PNM, TIFF
// or WebP image whose header declares more than 64 Mi pixels, a format
// outside 1 to 5) it returns false, writes no file and leaves `*result` as it
// was.
// With `flattenOnWhite` the image is composed onto white before encoding, so
// the result carries no transparency.
bool ReencodeImage(const Bytes& source, ImageFormat format, const Text& fileName = {},
                   Bytes* result = nullptr, bool flattenOnWhite = false);

}  // namespace qa
