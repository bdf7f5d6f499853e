// CropBitmap over arbitrary bytes: the first 16 bytes give left, top, width
// and height (little-endian 32-bit), the rest is the "BMP". The result is
// either empty or a complete BMP file whose size matches its header.
#include <algorithm>
#include <cstdlib>

#include "capture/crop_bitmap.h"

namespace {

std::uint32_t Le32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// A little-endian field of the source, bytes past its end counting as zero,
// as CropBitmap reads its header.
std::uint32_t SourceLe(const qa::Bytes& source, std::size_t offset, int size) {
  std::uint32_t value = 0;
  for (int i = 0; i < size; ++i) {
    const std::size_t at = offset + static_cast<std::size_t>(i);
    value |= static_cast<std::uint32_t>(at < source.size() ? source[at] : 0) << (8 * i);
  }
  return value;
}

// Crops between 1 and 256 MiB go down the same path as small ones but cost
// the fuzzer a large zero-filled allocation each; they are left out so that
// the runs go to other inputs. Larger crops are refused before any allocation
// and stay in.
bool IsCostlyCrop(const qa::Bytes& source, std::int64_t left, std::int64_t top, std::int64_t width,
                  std::int64_t height) {
  const auto srcWidth = static_cast<std::int32_t>(SourceLe(source, 18, 4));
  const auto srcHeight = static_cast<std::int32_t>(SourceLe(source, 22, 4));
  const std::int64_t bitCount = SourceLe(source, 28, 2);
  if (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32) return false;
  const std::int64_t outWidth = std::min<std::int64_t>(width, srcWidth - left);
  const std::int64_t outHeight = std::min<std::int64_t>(height, srcHeight - top);
  if (outWidth < 1 || outHeight < 1) return false;
  const double bytes = static_cast<double>(outWidth) * static_cast<double>(bitCount) / 8 *
                       static_cast<double>(outHeight);
  return bytes > 1.0 * (1 << 20) && bytes <= 257.0 * (1 << 20);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 16) return 0;
  const auto left = static_cast<std::int32_t>(Le32(data));
  const auto top = static_cast<std::int32_t>(Le32(data + 4));
  const auto width = static_cast<std::int32_t>(Le32(data + 8));
  const auto height = static_cast<std::int32_t>(Le32(data + 12));
  const qa::Bytes source(data + 16, data + size);
  if (IsCostlyCrop(source, left, top, width, height)) return 0;

  const qa::Bytes out = qa::CropBitmap(source, left, top, width, height);
  if (out.empty()) return 0;
  if (out.size() < 54 || out[0] != 'B' || out[1] != 'M') std::abort();
  if (Le32(out.data() + 2) != out.size()) std::abort();
  return 0;
}
