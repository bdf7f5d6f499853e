#include "capture/reencode_image.h"

#include <allheaders.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bmp_probe.h"

namespace qa {
namespace {

using test::BmpProbe;
using test::MakeTestBmp32;
using test::Rgb;

struct PixDeleter {
  void operator()(PIX* pix) const { pixDestroy(&pix); }
};
using PixPtr = std::unique_ptr<PIX, PixDeleter>;

// Four blocks of 8 x 8 in strong colours, so a red/blue swap shows.
Rgb Quadrant(int x, int y) {
  if (y < 8) return x < 8 ? Rgb{220, 30, 20} : Rgb{20, 200, 40};
  return x < 8 ? Rgb{30, 40, 230} : Rgb{240, 220, 30};
}
const Bytes& ColourBmp32() {
  static const Bytes bmp = MakeTestBmp32(16, 16, Quadrant);
  return bmp;
}

PixPtr DecodeWithLeptonica(const Bytes& bytes) {
  return PixPtr(pixReadMem(bytes.data(), bytes.size()));
}

Bytes EncodeWithLeptonica(PIX* pix, int format) {
  l_uint8* data = nullptr;
  size_t size = 0;
  if (pixWriteMem(&data, &size, pix, format) != 0) return {};
  Bytes bytes(data, data + size);
  lept_free(data);
  return bytes;
}

Rgb PixelOf(PIX* pix, int x, int y) {
  l_int32 r, g, b;
  pixGetRGBPixel(pix, x, y, &r, &g, &b);
  return {r, g, b};
}

bool Near(const Rgb& a, const Rgb& b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

bool StartsWith(const Bytes& bytes, const Bytes& prefix) {
  return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

class TempDir {
 public:
  TempDir() {
    char name[] = "/tmp/reencode_test_XXXXXX";
    path_ = mkdtemp(name);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  const std::filesystem::path& path() const { return path_; }
  bool Empty() const { return std::filesystem::is_empty(path_); }

 private:
  std::filesystem::path path_;
};

TEST(ReencodeImage, EncodesEachFormatFromA32BitBitmap) {
  const struct {
    ImageFormat format;
    Bytes signature;
  } cases[] = {
      {kImageBmp, {'B', 'M'}},
      {kImageJpeg, {0xFF, 0xD8, 0xFF}},
      {kImageGif, {'G', 'I', 'F', '8'}},
      {kImageTiff, {'I', 'I', 42, 0}},
      {kImagePng, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    Bytes result;
    ASSERT_TRUE(ReencodeImage(ColourBmp32(), c.format, {}, &result));
    EXPECT_TRUE(StartsWith(result, c.signature));
    PixPtr decoded = DecodeWithLeptonica(result);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(pixGetWidth(decoded.get()), 16);
    EXPECT_EQ(pixGetHeight(decoded.get()), 16);
  }
}

// The codec reads the bytes of a 32-bit BMP pixel in the wrong order in some
// versions; the colours must come out as they went in.
TEST(ReencodeImage, KeepsTheColoursOfA32BitBitmap) {
  const struct {
    ImageFormat format;
    int tolerance;
  } cases[] = {{kImagePng, 0}, {kImageJpeg, 40}, {kImageBmp, 0}, {kImageTiff, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    Bytes result;
    ASSERT_TRUE(ReencodeImage(ColourBmp32(), c.format, {}, &result));
    PixPtr decoded = DecodeWithLeptonica(result);
    ASSERT_TRUE(decoded);
    for (const auto& [x, y] : {std::pair{3, 3}, {12, 3}, {3, 12}, {12, 12}}) {
      EXPECT_TRUE(Near(PixelOf(decoded.get(), x, y), Quadrant(x, y), c.tolerance))
          << "pixel " << x << "," << y;
    }
  }
  // The BMP written is checked byte for byte, apart from the decoder.
  Bytes bmp;
  ASSERT_TRUE(ReencodeImage(ColourBmp32(), kImageBmp, {}, &bmp));
  const BmpProbe probe(bmp);
  ASSERT_TRUE(probe.Valid());
  EXPECT_EQ(probe.At(0, 0), Quadrant(0, 0));
  EXPECT_EQ(probe.At(15, 15), Quadrant(15, 15));
}

// A screen capture's unused fourth byte is 0: that is no transparency.
TEST(ReencodeImage, TreatsTheFourthByteOfA32BitBitmapAsUnused) {
  for (const std::uint8_t unused : {0x00, 0xFF, 0x80}) {
    const Bytes source = MakeTestBmp32(
        4, 4,
        [](int, int) {
          return Rgb{200, 100, 50};
        },
        unused);
    Bytes png;
    ASSERT_TRUE(ReencodeImage(source, kImagePng, {}, &png));
    PixPtr decoded = DecodeWithLeptonica(png);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(pixGetSpp(decoded.get()), 3);
    EXPECT_EQ(PixelOf(decoded.get(), 1, 1), (Rgb{200, 100, 50}));
  }
}

TEST(ReencodeImage, DecodesTheOtherFormats) {
  PixPtr colour = DecodeWithLeptonica(ColourBmp32());
  ASSERT_TRUE(colour);
  PixPtr gray(pixConvertRGBToLuminance(colour.get()));
  PixPtr binary(pixThresholdToBinary(gray.get(), 128));
  const struct {
    const char* name;
    PIX* pix;
    int format;
  } sources[] = {
      {"png colour", colour.get(), IFF_PNG},
      {"jpeg", colour.get(), IFF_JFIF_JPEG},
      {"gif", colour.get(), IFF_GIF},
      {"tiff", colour.get(), IFF_TIFF_LZW},
      {"png gray", gray.get(), IFF_PNG},
      {"png 1 bit", binary.get(), IFF_PNG},
      {"tiff g4 1 bit", binary.get(), IFF_TIFF_G4},
      {"bmp 8 bit", gray.get(), IFF_BMP},
  };
  for (const auto& s : sources) {
    const Bytes source = EncodeWithLeptonica(s.pix, s.format);
    ASSERT_FALSE(source.empty()) << s.name;
    for (ImageFormat target = kImageBmp; target <= kImagePng; ++target) {
      SCOPED_TRACE(std::string(s.name) + " to " + std::to_string(target));
      Bytes result;
      ASSERT_TRUE(ReencodeImage(source, target, {}, &result));
      PixPtr decoded = DecodeWithLeptonica(result);
      ASSERT_TRUE(decoded);
      EXPECT_EQ(pixGetWidth(decoded.get()), 16);
      EXPECT_EQ(pixGetHeight(decoded.get()), 16);
    }
  }
}

TEST(ReencodeImage, FailsWithoutTouchingTheResultOrWritingAFile) {
  const Bytes bmp = ColourBmp32();
  const Bytes truncated(bmp.begin(), bmp.begin() + 70);
  const std::string text = "this is plain text, no image";
  const struct {
    const char* name;
    Bytes source;
    ImageFormat format;
  } cases[] = {
      {"empty", {}, kImageJpeg},
      {"two bytes", {'B', 'M'}, kImageJpeg},
      {"text", Bytes(text.begin(), text.end()), kImagePng},
      {"truncated bitmap", truncated, kImageJpeg},
      {"damaged jpeg",
       {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1},
       kImageBmp},
      {"format 0", bmp, 0},
      {"format 6", bmp, 6},
      {"format -1", bmp, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    Bytes result = {1, 2, 3};
    EXPECT_FALSE(ReencodeImage(c.source, c.format, (dir.path() / "out.img").string(), &result));
    EXPECT_EQ(result, (Bytes{1, 2, 3}));
    EXPECT_TRUE(dir.Empty());
  }
}

// The PNG chunk checksum (CRC-32 of the chunk type and data).
std::uint32_t Crc32(const Bytes& bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::uint8_t byte : bytes) {
    crc ^= byte;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void AppendBe32(Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// A PNG of a few dozen bytes whose header declares width x height pixels of
// 16-bit RGBA and whose image data is missing.
Bytes PngDeclaring(std::uint32_t width, std::uint32_t height) {
  Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  auto chunk = [&png](const char* type, const Bytes& data) {
    AppendBe32(png, static_cast<std::uint32_t>(data.size()));
    Bytes typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    png.insert(png.end(), typed.begin(), typed.end());
    AppendBe32(png, Crc32(typed));
  };
  Bytes header;
  AppendBe32(header, width);
  AppendBe32(header, height);
  header.insert(header.end(), {16, 6, 0, 0, 0});
  chunk("IHDR", header);
  chunk("IDAT", {0x78, 0x9C, 0x63, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01});
  chunk("IEND", {});
  return png;
}

// A GIF of a blank picture: some 70 KB that decode into 10000 x 10000 bytes,
// twice (the decoder's raster, then Leptonica's picture).
Bytes BlankGif10000() {
  const PixPtr blank(pixCreate(10000, 10000, 1));
  return EncodeWithLeptonica(blank.get(), IFF_GIF);
}

long PeakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// A few bytes that declare a huge image must not make the decoder allocate it:
// the 200000 x 200000 PNG alone would ask for about 100 GB, the GIF of 70 KB
// for 200 MB.
TEST(ReencodeImage, RefusesImagesThatDeclareMorePixelsThanACrop) {
  const std::string pnm = "P6\n20000 20000\n255\n" + std::string(64, '\x7F');
  const struct {
    const char* name;
    Bytes source;
  } cases[] = {
      {"png 200000 x 200000", PngDeclaring(200000, 200000)},
      {"png 30000 x 30000", PngDeclaring(30000, 30000)},
      {"pnm 20000 x 20000", Bytes(pnm.begin(), pnm.end())},
      {"gif 10000 x 10000", BlankGif10000()},
  };
  const long before = PeakRssKb();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes result = {1, 2, 3};
    EXPECT_FALSE(ReencodeImage(c.source, kImageJpeg, {}, &result));
    EXPECT_EQ(result, (Bytes{1, 2, 3}));
  }
  EXPECT_LT(PeakRssKb() - before, 64 * 1024) << "KB more at the peak";
}

TEST(ReencodeImage, ReplacesTheSourceWhenItIsAlsoTheResult) {
  Bytes image = ColourBmp32();
  EXPECT_TRUE(ReencodeImage(image, kImageJpeg, {}, &image));
  EXPECT_TRUE(StartsWith(image, {0xFF, 0xD8}));

  const std::string text = "not an image";
  Bytes notImage(text.begin(), text.end());
  EXPECT_FALSE(ReencodeImage(notImage, kImageJpeg, {}, &notImage));
  EXPECT_EQ(notImage, Bytes(text.begin(), text.end()));

  EXPECT_TRUE(ReencodeImage(ColourBmp32(), kImagePng));  // no result wanted
}

TEST(ReencodeImage, WritesTheFileOnlyForANameThatIsNotBlank) {
  {
    TempDir dir;
    const std::filesystem::path file = dir.path() / "crop.jpg";
    Bytes result;
    ASSERT_TRUE(ReencodeImage(ColourBmp32(), kImageJpeg, file.string(), &result));
    std::ifstream in(file, std::ios::binary);
    const Bytes written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(written, result);
  }
  {
    TempDir dir;
    std::ofstream(dir.path() / "crop.png") << "old content";
    ASSERT_TRUE(ReencodeImage(ColourBmp32(), kImagePng, (dir.path() / "crop.png").string()));
    EXPECT_GT(std::filesystem::file_size(dir.path() / "crop.png"), 11u);
  }
  {
    // The program's texts are GBK; the file system takes UTF-8 names.
    TempDir dir;
    const Text name = (dir.path() / "").string() + "\xD6\xD0.png";  // 中.png
    ASSERT_TRUE(ReencodeImage(ColourBmp32(), kImagePng, name));
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "\xE4\xB8\xAD.png"));
  }
  for (const Text& blank :
       {Text(""), Text("   "), Text("\xA1\xA1 \xA1\xA1")}) {  // full-width spaces
    TempDir dir;
    const std::filesystem::path old = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    EXPECT_TRUE(ReencodeImage(ColourBmp32(), kImageJpeg, blank));
    std::filesystem::current_path(old);
    EXPECT_TRUE(dir.Empty());
  }
}

TEST(ReencodeImage, FlattensTransparencyOntoWhiteOnlyWhenAsked) {
  PixPtr rgba(pixCreate(2, 1, 32));
  pixSetSpp(rgba.get(), 4);
  pixSetPixel(rgba.get(), 0, 0, 0x0000FF00);  // blue, fully transparent
  pixSetPixel(rgba.get(), 1, 0, 0xFF0000FF);  // red, opaque
  const Bytes source = EncodeWithLeptonica(rgba.get(), IFF_PNG);
  ASSERT_FALSE(source.empty());

  Bytes flat;
  ASSERT_TRUE(ReencodeImage(source, kImagePng, {}, &flat, true));
  PixPtr decoded = DecodeWithLeptonica(flat);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(pixGetSpp(decoded.get()), 3);
  EXPECT_EQ(PixelOf(decoded.get(), 0, 0), (Rgb{255, 255, 255}));
  EXPECT_EQ(PixelOf(decoded.get(), 1, 0), (Rgb{255, 0, 0}));

  Bytes kept;
  ASSERT_TRUE(ReencodeImage(source, kImagePng, {}, &kept));
  decoded = DecodeWithLeptonica(kept);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(pixGetSpp(decoded.get()), 4);

  // An image without transparency comes out the same either way.
  Bytes plain;
  ASSERT_TRUE(ReencodeImage(ColourBmp32(), kImageBmp, {}, &plain, true));
  EXPECT_EQ(BmpProbe(plain).At(12, 12), Quadrant(12, 12));
}

TEST(ReencodeImage, KeepsTheCodecsMessagesOffStderr) {
  const Bytes damaged[] = {
      {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0, 1, 2},
      {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0,
       0,    0,   1,   0,   0,    0,    1,    8,    2, 0, 0, 0,  1,   2,   3,   4},
      {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 1, 2, 3},
      {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 2, 3, 4},
      {'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
  };
  testing::internal::CaptureStderr();
  for (const Bytes& source : damaged) EXPECT_FALSE(ReencodeImage(source, kImageJpeg));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(ReencodeImage, RunsOnSeveralThreadsAtOnce) {
  const Bytes damagedJpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0,
                             1,    1,    0,    0,    1, 0,  1,   0,   0,   1,   2};
  Bytes reference;
  ASSERT_TRUE(ReencodeImage(ColourBmp32(), kImagePng, {}, &reference));
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 25; ++i) {
        Bytes png;
        if (!ReencodeImage(ColourBmp32(), kImagePng, {}, &png) || png != reference) ++wrong;
        if (ReencodeImage(damagedJpeg, kImagePng)) ++wrong;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace qa
