#include "capture/reencode_image.h"

#include <allheaders.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>

#include "encoding/codepage.h"

namespace qa {
namespace {

struct PixDeleter {
  void operator()(PIX* pix) const { pixDestroy(&pix); }
};
using PixPtr = std::unique_ptr<PIX, PixDeleter>;

struct LeptFree {
  void operator()(l_uint8* data) const { lept_free(data); }
};
using LeptBuffer = std::unique_ptr<l_uint8, LeptFree>;

// Leptonica reports its own errors on stderr unless told not to; the program
// never writes there.
void SilenceLeptonica() {
  static std::once_flag once;
  std::call_once(once, [] { setMsgSeverity(L_SEVERITY_NONE); });
}

// libjpeg and libpng print warnings about damaged data straight to stderr,
// past Leptonica's message switch. While such a decoder runs, stderr points
// to /dev/null. One decoder at a time may do so; output of other threads in
// that short window is lost, which nothing in the program relies on.
class QuietStderr {
 public:
  QuietStderr() : lock_(Mutex()) {
    std::fflush(stderr);
    saved_ = dup(STDERR_FILENO);
    int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved_ >= 0 && null >= 0) dup2(null, STDERR_FILENO);
    if (null >= 0) close(null);
  }
  ~QuietStderr() {
    std::fflush(stderr);
    if (saved_ >= 0) {
      dup2(saved_, STDERR_FILENO);
      close(saved_);
    }
  }
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }
  std::lock_guard<std::mutex> lock_;
  int saved_ = -1;
};

// Leptonica 1.82 takes the bytes of a 32-bit BMP pixel in the wrong order and
// swaps red with blue. Whether the linked library does so is found once by
// reading a one-pixel BMP that is pure red.
bool ReadsBmp32Swapped() {
  static const bool swapped = [] {
    l_uint8 bmp[58] = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0,  54, 0, 0, 0, 40, 0, 0, 0, 1,
                       0,   0,   0,  1, 0, 0, 0, 1, 0, 32, 0,  0, 0, 0, 0,  4, 0, 0, 0};
    bmp[56] = 0xFF;  // the pixel: blue 0, green 0, red 255, unused 0
    PixPtr pix(pixReadMem(bmp, sizeof bmp));
    if (!pix) return false;
    l_int32 r = 0, g = 0, b = 0;
    pixGetRGBPixel(pix.get(), 0, 0, &r, &g, &b);
    return r == 0 && b == 255;
  }();
  return swapped;
}

void SwapRedBlue(PIX* pix) {
  const l_int32 w = pixGetWidth(pix), h = pixGetHeight(pix), wpl = pixGetWpl(pix);
  l_uint32* line = pixGetData(pix);
  for (l_int32 y = 0; y < h; ++y, line += wpl) {
    for (l_int32 x = 0; x < w; ++x) {
      const l_uint32 v = line[x];  // red, green, blue, alpha from the high byte down
      line[x] = (v & 0x00FF00FFu) | ((v >> 16) & 0xFF00u) | ((v & 0xFF00u) << 16);
    }
  }
}

int BmpBitCount(const Bytes& source) {
  if (source.size() < 30) return 0;
  return source[28] | (source[29] << 8);
}

// Decoders allocate the whole image, PNG even every row, before they read a
// pixel, so a few bytes that declare a huge image would cost gigabytes. Such
// images are refused from their header: more pixels than 256 MiB of 32-bit
// pixels, the bound of the crops this program re-encodes. Formats whose
// header Leptonica reads without decoding the image are checked that way, GIF
// by its image descriptors; the BMP decoder wants the pixel data present
// before it allocates.
constexpr std::uint64_t kMaxPixels = (std::uint64_t{256} << 20) / 4;

bool HasCheapHeader(l_int32 kind) {
  return kind == IFF_JFIF_JPEG || kind == IFF_PNG || kind == IFF_PNM || kind == IFF_WEBP ||
         L_FORMAT_IS_TIFF(kind);
}

// A GIF names the size of each of its images in the image's descriptor, and
// its decoder allocates every image of the file before Leptonica takes the
// first: the sizes of all of them count. Walks the blocks up to the trailer,
// or to bytes that are no GIF block (the decoder refuses those itself).
bool GifDeclaresTooManyPixels(const Bytes& gif) {
  if (gif.size() < 13) return false;
  const auto u16 = [&gif](std::size_t at) {
    return static_cast<std::uint64_t>(gif[at] | gif[at + 1] << 8);
  };
  std::size_t at = 13;
  const auto skipColourTable = [&at](std::uint8_t flags) {
    if (flags & 0x80) at += std::size_t{3} << ((flags & 7) + 1);
  };
  const auto skipSubBlocks = [&at, &gif] {
    while (at < gif.size() && gif[at] != 0) at += gif[at] + std::size_t{1};
    ++at;
  };
  skipColourTable(gif[10]);
  std::uint64_t pixels = 0;
  while (at < gif.size()) {
    if (gif[at] == 0x21) {  // extension: label, then its sub-blocks
      at += 2;
      skipSubBlocks();
    } else if (gif[at] == 0x2C) {  // image: position, size, flags, table, data
      if (at + 10 > gif.size()) return false;
      pixels += u16(at + 5) * u16(at + 7);
      if (pixels > kMaxPixels) return true;
      const std::uint8_t flags = gif[at + 9];
      at += 10;
      skipColourTable(flags);
      ++at;  // the LZW minimum code size
      skipSubBlocks();
    } else {
      return false;
    }
  }
  return false;
}

bool DeclaresTooManyPixels(const Bytes& source, l_int32 kind) {
  if (kind == IFF_GIF) return GifDeclaresTooManyPixels(source);
  if (!HasCheapHeader(kind)) return false;
  l_int32 format = 0, width = 0, height = 0, bps = 0, spp = 0, colormap = 0;
  if (pixReadHeaderMem(source.data(), source.size(), &format, &width, &height, &bps, &spp,
                       &colormap) != 0) {
    return false;  // the decoder will say what it makes of the bytes
  }
  return width < 0 || height < 0 ||
         static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > kMaxPixels;
}

PixPtr Decode(const Bytes& source) {
  l_int32 kind = IFF_UNKNOWN;
  if (source.size() >= 12) findFileFormatBuffer(source.data(), &kind);
  PixPtr pix;
  {
    std::optional<QuietStderr> quiet;
    if (kind == IFF_JFIF_JPEG || kind == IFF_PNG) quiet.emplace();
    if (DeclaresTooManyPixels(source, kind)) return pix;
    pix.reset(pixReadMem(source.data(), source.size()));
  }
  if (pix && kind == IFF_BMP && pixGetDepth(pix.get()) == 32 && BmpBitCount(source) == 32 &&
      ReadsBmp32Swapped()) {
    SwapRedBlue(pix.get());
  }
  return pix;
}

// Composes the image onto white: a plain 24-bit colour image without alpha.
PixPtr FlattenOnWhite(PIX* pix) {
  PixPtr rgb(pixConvertTo32(pix));
  if (!rgb) return rgb;
  if (pixGetSpp(rgb.get()) == 4) {
    PixPtr blended(pixAlphaBlendUniform(rgb.get(), 0xFFFFFF00));
    if (!blended) return blended;
    rgb = std::move(blended);
  }
  pixSetSpp(rgb.get(), 3);
  return rgb;
}

int LeptonicaFormat(ImageFormat format) {
  switch (format) {
    case kImageBmp:
      return IFF_BMP;
    case kImageJpeg:
      return IFF_JFIF_JPEG;
    case kImageGif:
      return IFF_GIF;
    case kImageTiff:
      return IFF_TIFF;
    case kImagePng:
      return IFF_PNG;
    default:
      return IFF_UNKNOWN;
  }
}

bool WriteFile(const Text& fileName, const Bytes& bytes) {
  std::ofstream out(AnsiToUtf8(fileName), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

bool ReencodeImage(const Bytes& source, ImageFormat format, const Text& fileName, Bytes* result,
                   bool flattenOnWhite) {
  if (source.size() < 3) return false;
  const int target = LeptonicaFormat(format);
  if (target == IFF_UNKNOWN) return false;
  SilenceLeptonica();

  PixPtr pix = Decode(source);
  if (!pix) return false;
  if (flattenOnWhite) {
    pix = FlattenOnWhite(pix.get());
    if (!pix) return false;
  }

  l_uint8* data = nullptr;
  size_t size = 0;
  const l_ok failed = pixWriteMem(&data, &size, pix.get(), target);
  LeptBuffer owned(data);
  if (failed || data == nullptr || size == 0) return false;

  Bytes encoded(data, data + size);
  if (!TrimText(fileName).empty()) WriteFile(fileName, encoded);  // outcome not examined
  if (result != nullptr) *result = std::move(encoded);
  return true;
}

}  // namespace qa
