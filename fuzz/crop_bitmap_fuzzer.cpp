// CropBitmap over arbitrary bytes: the first 16 bytes give left, top, width
// and height (little-endian 32-bit), the rest is the "BMP". The result is
// either empty or a complete BMP file whose size matches its header.
#include <cstdlib>

#include "capture/crop_bitmap.h"

namespace {

std::uint32_t Le32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 16) return 0;
  const auto left = static_cast<std::int32_t>(Le32(data));
  const auto top = static_cast<std::int32_t>(Le32(data + 4));
  const auto width = static_cast<std::int32_t>(Le32(data + 8));
  const auto height = static_cast<std::int32_t>(Le32(data + 12));
  const qa::Bytes source(data + 16, data + size);

  const qa::Bytes out = qa::CropBitmap(source, left, top, width, height);
  if (out.empty()) return 0;
  if (out.size() < 54 || out[0] != 'B' || out[1] != 'M') std::abort();
  if (Le32(out.data() + 2) != out.size()) std::abort();
  return 0;
}
