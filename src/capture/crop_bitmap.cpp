#include "capture/crop_bitmap.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qa {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kHeadersSize = kFileHeaderSize + kInfoHeaderSize;  // 54
constexpr std::size_t kColourTableSize = 256 * 4;
// A crop is a part of one screen capture; anything larger than this comes from
// a lying header and is refused instead of allocated.
constexpr std::uint64_t kMaxOutputSize = 256u << 20;

// Little-endian reads in which bytes past the end of the source count as zero.
std::uint32_t ReadLe(const Bytes& src, std::size_t offset, int size) {
  std::uint32_t value = 0;
  for (int i = 0; i < size; ++i) {
    std::size_t at = offset + static_cast<std::size_t>(i);
    std::uint32_t byte = at < src.size() ? src[at] : 0;
    value |= byte << (8 * i);
  }
  return value;
}

void WriteLe(Bytes& out, std::size_t offset, std::uint32_t value, int size) {
  for (int i = 0; i < size; ++i) {
    out[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

// Copies `count` bytes from source offset `from` to `to`; bytes the source does
// not have stay zero in the (zero-filled) output.
void CopyClamped(const Bytes& src, std::uint64_t from, Bytes& out, std::size_t to,
                 std::size_t count) {
  if (from >= src.size()) return;
  std::size_t available = src.size() - static_cast<std::size_t>(from);
  std::size_t n = std::min(count, available);
  std::memcpy(out.data() + to, src.data() + from, n);
}

std::uint64_t Stride(std::int64_t width, std::int64_t bitCount) {
  return static_cast<std::uint64_t>((width * bitCount + 31) / 32 * 4);
}

}  // namespace

Bytes CropBitmap(const Bytes& source, int left, int top, int width, int height) {
  const auto srcWidth = static_cast<std::int32_t>(ReadLe(source, 18, 4));
  const auto srcHeight = static_cast<std::int32_t>(ReadLe(source, 22, 4));
  const auto bitCount = static_cast<std::int64_t>(ReadLe(source, 28, 2));
  const std::uint32_t compression = ReadLe(source, 30, 4);
  if (compression != 0) return {};

  std::size_t dataOffset = kHeadersSize;
  std::size_t tableSize = 0;
  std::uint64_t bytesPerPixel;
  switch (bitCount) {
    case 32:
    case 24:
    case 16:
      bytesPerPixel = static_cast<std::uint64_t>(bitCount / 8);
      break;
    case 8:
      bytesPerPixel = 1;
      tableSize = kColourTableSize;
      dataOffset += kColourTableSize;
      break;
    default:  // fewer than 8 bits per pixel, or a layout this code does not know
      return {};
  }

  // Rows are stored bottom row first, so a negative height (top row first) is
  // refused here along with rectangles that start outside the image.
  if (left < 0 || left >= srcWidth || top < 0 || top >= srcHeight || width < 1 || height < 1) {
    return {};
  }
  std::int64_t outWidth = width;
  std::int64_t outHeight = height;
  if (static_cast<std::int64_t>(left) + outWidth > srcWidth) outWidth = srcWidth - left;
  if (static_cast<std::int64_t>(top) + outHeight > srcHeight) outHeight = srcHeight - top;

  const std::uint64_t srcStride = Stride(srcWidth, bitCount);
  const std::uint64_t outStride = Stride(outWidth, bitCount);
  const std::uint64_t room = kMaxOutputSize - dataOffset;
  if (outStride > room / static_cast<std::uint64_t>(outHeight)) return {};
  const std::uint64_t outImageSize = outStride * static_cast<std::uint64_t>(outHeight);

  Bytes out(dataOffset + static_cast<std::size_t>(outImageSize), 0);
  out[0] = 'B';
  out[1] = 'M';
  WriteLe(out, 2, static_cast<std::uint32_t>(dataOffset + outImageSize), 4);
  WriteLe(out, 10, static_cast<std::uint32_t>(dataOffset), 4);
  WriteLe(out, 14, kInfoHeaderSize, 4);
  WriteLe(out, 18, static_cast<std::uint32_t>(outWidth), 4);
  WriteLe(out, 22, static_cast<std::uint32_t>(outHeight), 4);
  WriteLe(out, 26, 1, 2);
  WriteLe(out, 28, static_cast<std::uint32_t>(bitCount), 2);
  if (tableSize != 0) CopyClamped(source, kHeadersSize, out, kHeadersSize, tableSize);

  // The rectangle's bottom row, counted from the bottom of the stored image.
  const auto firstRow = static_cast<std::uint64_t>(srcHeight - top - outHeight);
  // A lying header can put the rows beyond any real source (and beyond 64 bits):
  // then there is nothing to copy and the pixels stay zero.
  if (firstRow != 0 && srcStride > source.size() / firstRow) return out;
  const std::uint64_t base =
      dataOffset + srcStride * firstRow + static_cast<std::uint64_t>(left) * bytesPerPixel;
  // Each copy takes the whole padded output row, as the source lays it out.
  for (std::uint64_t r = 0; r < static_cast<std::uint64_t>(outHeight); ++r) {
    const std::uint64_t from = base + r * srcStride;
    if (from >= source.size()) break;
    CopyClamped(source, from, out, dataOffset + static_cast<std::size_t>(r * outStride),
                static_cast<std::size_t>(outStride));
  }
  return out;
}

}  // namespace qa
