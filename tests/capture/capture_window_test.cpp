#include "capture/capture_window.h"

#include <gtest/gtest.h>

#include "bmp_probe.h"
#include "capture/crop_bitmap.h"
#include "capture/make_bitmap.h"

namespace qa {
namespace {

using test::Field16;
using test::Field32;

// Renders a window whose pixel at x, y has blue x, green y, red 7, unused 0xFF.
class PatternWindow : public WindowRenderer {
 public:
  PatternWindow(int width, int height) : width_(width), height_(height) {}
  bool RenderWindow(WindowPixels& out) const override {
    if (!exists) return false;
    out.width = width_;
    out.height = height_;
    out.xPelsPerMeter = 3780;
    out.yPelsPerMeter = 3779;
    out.rows.clear();
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) {
        out.rows.insert(out.rows.end(),
                        {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 7, 0xFF});
      }
    }
    if (shortRows) out.rows.pop_back();
    return true;
  }
  bool exists = true;
  bool shortRows = false;

 private:
  int width_, height_;
};

TEST(CaptureWindow, WritesA32BitBottomUpBitmapFile) {
  const Bytes bmp = CaptureWindow(PatternWindow(300, 200));
  ASSERT_EQ(bmp.size(), 54u + 300 * 200 * 4);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(Field32(bmp, 2), bmp.size());  // bfSize
  EXPECT_EQ(Field16(bmp, 6), 0);
  EXPECT_EQ(Field16(bmp, 8), 0);
  EXPECT_EQ(Field32(bmp, 10), 54u);  // bfOffBits
  EXPECT_EQ(Field32(bmp, 14), 40u);  // biSize
  EXPECT_EQ(Field32(bmp, 18), 300u);
  EXPECT_EQ(Field32(bmp, 22), 200u);  // positive: bottom row first
  EXPECT_EQ(Field16(bmp, 26), 1);
  EXPECT_EQ(Field16(bmp, 28), 32);
  EXPECT_EQ(Field32(bmp, 30), 0u);
  EXPECT_EQ(Field32(bmp, 34), 300u * 200 * 4);  // biSizeImage
  EXPECT_EQ(Field32(bmp, 38), 3780u);
  EXPECT_EQ(Field32(bmp, 42), 3779u);
  EXPECT_EQ(Field32(bmp, 46), 0u);
  EXPECT_EQ(Field32(bmp, 50), 0u);
  // The first stored row is the window's bottom row (y = 199), pixel for pixel.
  for (int x = 0; x < 300; ++x) {
    const std::size_t at = 54 + 4 * x;
    ASSERT_EQ(bmp[at], static_cast<std::uint8_t>(x));
    ASSERT_EQ(bmp[at + 1], 199);
    ASSERT_EQ(bmp[at + 2], 7);
    ASSERT_EQ(bmp[at + 3], 0xFF);
  }
  // The last stored row is the top row.
  EXPECT_EQ(bmp[54 + 199 * 1200 + 1], 0);
}

TEST(CaptureWindow, GivesNothingForAWindowThatCannotBeRendered) {
  PatternWindow gone(10, 10);
  gone.exists = false;
  EXPECT_TRUE(CaptureWindow(gone).empty());
  PatternWindow damaged(10, 10);
  damaged.shortRows = true;
  EXPECT_TRUE(CaptureWindow(damaged).empty());
  EXPECT_TRUE(CaptureWindow(PatternWindow(0, 10)).empty());
  EXPECT_TRUE(CaptureWindow(PatternWindow(10, 0)).empty());
}

// The capture feeds the crop: the crop's first row is the capture's row 130
// from the bottom, 10 pixels in.
TEST(CaptureWindow, CropOfTheCaptureTakesTheRectangleUnderTheRegion) {
  const Bytes capture = CaptureWindow(PatternWindow(300, 200));
  const Bytes crop = CropBitmap(capture, 10, 20, 100, 50);
  ASSERT_EQ(crop.size(), 54u + 100 * 50 * 4);
  const std::size_t from = 54 + 130 * 300 * 4 + 10 * 4;
  EXPECT_TRUE(std::equal(crop.begin() + 54, crop.begin() + 54 + 400, capture.begin() + from));
  const test::BmpProbe probe(crop);
  ASSERT_TRUE(probe.Valid());
  EXPECT_EQ(probe.At(0, 0), (test::Rgb{7, 20, 10}));
  EXPECT_EQ(probe.At(99, 49), (test::Rgb{7, 69, 109}));
}

TEST(MakeBitmap32, StoresRowsGivenTopFirstBottomFirstAndHonoursTheStride) {
  // Two rows of one pixel, 8 bytes apart (4 bytes of padding each).
  const std::uint8_t rows[16] = {1, 2, 3, 4, 99, 99, 99, 99, 5, 6, 7, 8, 99, 99, 99, 99};
  const Bytes bmp = MakeBitmap32(1, 2, rows, 8);
  ASSERT_EQ(bmp.size(), 54u + 8);
  EXPECT_EQ(Bytes(bmp.begin() + 54, bmp.end()), (Bytes{5, 6, 7, 8, 1, 2, 3, 4}));
  EXPECT_TRUE(MakeBitmap32(0, 2, rows, 8).empty());
  EXPECT_TRUE(MakeBitmap32(1, -1, rows, 8).empty());
  EXPECT_TRUE(MakeBitmap32(1, 1, nullptr, 4).empty());
}

}  // namespace
}  // namespace qa
