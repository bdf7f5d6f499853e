#include "app/widget_capture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QTest>
#include <QWidget>
#include <filesystem>
#include <memory>

#include "bmp_probe.h"
#include "capture/crop_bitmap.h"
#include "capture/mirror_window.h"
#include "fake_mirror_process.h"
#include "x_server_environment.h"

namespace qa {
namespace {

using test::BmpProbe;
using test::Rgb;

// QApplication on the test's own X server, made after the server is up.
class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    app_ = std::make_unique<QApplication>(argc_, argv_);
  }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "widget_capture";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

const auto* const kXServer = ::testing::AddGlobalTestEnvironment(new test::XServerEnvironment);
const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// A 400 x 800 picture in which nearly every pixel differs from its neighbours.
Rgb PicturePixel(int x, int y) {
  return {x & 0xFF, y & 0xFF, ((x >> 8) << 6) | ((y >> 8) << 4) | 5};
}

QImage PictureImage() {
  QImage image(400, 800, QImage::Format_RGB32);
  for (int y = 0; y < 800; ++y) {
    for (int x = 0; x < 400; ++x) {
      const Rgb c = PicturePixel(x, y);
      image.setPixel(x, y, qRgb(c.r, c.g, c.b));
    }
  }
  return image;
}

constexpr QRect kRegion(8, 98, 224, 166);
constexpr Rgb kMarkerColour{255, 0, 0}, kBadgeColour{0, 255, 0}, kCoverColour{255, 0, 255};

// The window of the capture: a 248 x 392 picture box showing the picture at
// its natural size from the top-left corner, a marker over the capture
// region (a red frame, transparent inside, with a caption child), and a
// small badge that belongs to the picture.
struct PictureWindow {
  PictureWindow() {
    window.setGeometry(0, 0, 300, 420);
    picture = new QLabel(&window);
    picture->setGeometry(10, 10, 248, 392);
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture->setPixmap(QPixmap::fromImage(PictureImage()));
    badge = new QWidget(picture);
    badge->setGeometry(200, 10, 20, 20);
    badge->setAutoFillBackground(true);
    badge->setPalette(QPalette(QColor(kBadgeColour.r, kBadgeColour.g, kBadgeColour.b)));
    marker = new QLabel(picture);
    marker->setGeometry(kRegion);
    marker->setStyleSheet("border: 2px solid rgb(255, 0, 0); background: transparent;");
    caption = new QLabel("question", marker);
    caption->setGeometry(20, 20, 100, 30);
    caption->setStyleSheet("background: rgb(255, 0, 0);");
  }
  QWidget window;
  QLabel* picture;
  QWidget* badge;
  QLabel* marker;
  QLabel* caption;
};

// Another top-level window over the picture window.
struct Cover {
  Cover() {
    widget.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    widget.setGeometry(0, 0, 600, 600);
    widget.setAutoFillBackground(true);
    widget.setPalette(QPalette(QColor(kCoverColour.r, kCoverColour.g, kCoverColour.b)));
    widget.show();
    widget.raise();
  }
  QWidget widget;
};

void Settle() {
  for (int i = 0; i < 5; ++i) {
    QApplication::processEvents();
    QTest::qWait(10);
  }
}

// The capture shows the picture pixel for pixel, the badge, and nothing of
// the marker.
void ExpectPictureWithoutMarker(const BmpProbe& shot) {
  ASSERT_TRUE(shot.Valid());
  ASSERT_EQ(shot.Width(), 248);
  ASSERT_EQ(shot.Height(), 392);
  for (int y = 0; y < 392; ++y) {
    for (int x = 0; x < 248; ++x) {
      if (x >= 200 && x < 220 && y >= 10 && y < 30) {
        ASSERT_EQ(shot.At(x, y), kBadgeColour) << x << "," << y;
      } else {
        ASSERT_EQ(shot.At(x, y), PicturePixel(x, y)) << x << "," << y;
      }
    }
  }
}

TEST(CaptureWidget, RendersThePictureBoxWhateverCoversIt) {
  const struct {
    const char* state;
    void (*prepare)(QWidget& window);
  } cases[] = {
      {"covered",
       [](QWidget& window) {
         window.show();
         Settle();
       }},
      {"minimised",
       [](QWidget& window) {
         window.show();
         Settle();
         window.showMinimized();
       }},
      {"never shown", [](QWidget&) {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.state);
    PictureWindow w;
    c.prepare(w.window);
    Cover cover;
    Settle();
    if (w.window.isVisible() && !w.window.isMinimized()) {
      // The screen really shows the cover where the picture box is.
      const BmpProbe screen(ScreenshotWindow(0));
      ASSERT_TRUE(screen.Valid());
      const QPoint at = w.picture->mapToGlobal(QPoint(50, 50));
      EXPECT_EQ(screen.At(at.x(), at.y()), kCoverColour);
    }
    ExpectPictureWithoutMarker(BmpProbe(CaptureWidget(w.picture, {w.marker})));
  }
}

TEST(CaptureWidget, DrawsTheMarkerUnlessItIsLeftOut) {
  PictureWindow w;
  w.window.show();
  Settle();
  const BmpProbe withMarker(CaptureWidget(w.picture));
  ASSERT_TRUE(withMarker.Valid());
  EXPECT_EQ(withMarker.At(kRegion.x(), kRegion.y() + 50), kMarkerColour);
  EXPECT_EQ(withMarker.At(kRegion.x() + 30, kRegion.y() + 30), kMarkerColour);  // the caption
  EXPECT_EQ(withMarker.At(210, 20), kBadgeColour);
  EXPECT_EQ(withMarker.At(100, 300), PicturePixel(100, 300));

  // Leaving out only the caption keeps the marker's frame.
  const BmpProbe withoutCaption(CaptureWidget(w.picture, {w.caption}));
  ASSERT_TRUE(withoutCaption.Valid());
  EXPECT_EQ(withoutCaption.At(kRegion.x(), kRegion.y() + 50), kMarkerColour);
  EXPECT_EQ(withoutCaption.At(kRegion.x() + 30, kRegion.y() + 30),
            PicturePixel(kRegion.x() + 30, kRegion.y() + 30));
}

TEST(CaptureWidget, WritesTheBitmapLayoutOfACapture) {
  PictureWindow w;
  w.window.show();
  Settle();
  const Bytes bmp = CaptureWidget(w.picture, {w.marker});
  ASSERT_EQ(bmp.size(), 54u + 248 * 392 * 4);
  EXPECT_EQ(test::Field32(bmp, 2), bmp.size());
  EXPECT_EQ(test::Field32(bmp, 10), 54u);
  EXPECT_EQ(test::Field32(bmp, 14), 40u);
  EXPECT_EQ(test::Field32(bmp, 22), 392u);
  EXPECT_EQ(test::Field16(bmp, 28), 32);
  EXPECT_EQ(test::Field32(bmp, 30), 0u);
  EXPECT_EQ(test::Field32(bmp, 34), 248u * 392 * 4);
  const QImage reference(1, 1, QImage::Format_RGB32);
  EXPECT_EQ(test::Field32(bmp, 38), static_cast<std::uint32_t>(reference.dotsPerMeterX()));
  EXPECT_EQ(test::Field32(bmp, 42), static_cast<std::uint32_t>(reference.dotsPerMeterY()));
  EXPECT_EQ(test::Field32(bmp, 46), 0u);
  EXPECT_EQ(test::Field32(bmp, 50), 0u);
  // The first stored row is the bottom row.
  const Rgb bottomLeft = PicturePixel(0, 391);
  EXPECT_EQ(bmp[54], bottomLeft.b);
  EXPECT_EQ(bmp[55], bottomLeft.g);
  EXPECT_EQ(bmp[56], bottomLeft.r);
}

TEST(CaptureWidget, GivesNothingForAMissingWidget) {
  EXPECT_TRUE(CaptureWidget(nullptr).empty());
  auto widget = std::make_unique<QLabel>("gone");
  widget->resize(50, 20);
  const WidgetRenderer renderer(widget.get());
  EXPECT_FALSE(CaptureWindow(renderer).empty());
  widget.reset();
  EXPECT_TRUE(CaptureWindow(renderer).empty());
  QWidget empty;
  empty.resize(0, 0);
  EXPECT_TRUE(CaptureWidget(&empty).empty());
}

TEST(CaptureWidget, CropUnderTheRegionIsThePartOfThePictureItCovers) {
  PictureWindow w;
  w.window.show();
  Settle();
  const Bytes crop = CropBitmap(CaptureWidget(w.picture, {w.marker}), kRegion.x(), kRegion.y(),
                                kRegion.width(), kRegion.height());
  const BmpProbe probe(crop);
  ASSERT_TRUE(probe.Valid());
  ASSERT_EQ(probe.Width(), 224);
  ASSERT_EQ(probe.Height(), 166);
  for (int y = 0; y < 166; ++y) {
    for (int x = 0; x < 224; ++x) {
      const int px = kRegion.x() + x, py = kRegion.y() + y;
      const bool badge = px >= 200 && px < 220 && py >= 10 && py < 30;
      ASSERT_EQ(probe.At(x, y), badge ? kBadgeColour : PicturePixel(px, py)) << x << "," << y;
    }
  }
}

// The whole local road: the receiver's window copied from the screen, shown
// in the picture box, rendered and cropped to the region.
TEST(CaptureWidget, ScreenshotShownInThePictureBoxSurvivesRenderAndCrop) {
  const std::filesystem::path image =
      std::filesystem::temp_directory_path() / ("picture_" + std::to_string(getpid()) + ".png");
  ASSERT_TRUE(PictureImage().save(QString::fromStdString(image.string())));
  test::FakeMirrorProcess::Options options;
  options.image = image.string();
  options.x = 500;
  options.y = 100;
  test::FakeMirrorProcess mirror(options);
  std::filesystem::remove(image);
  ASSERT_TRUE(mirror.Ready());

  const Bytes screenshot = ScreenshotWindow(FindMirrorWindow());
  QPixmap shown;
  ASSERT_TRUE(shown.loadFromData(screenshot.data(), static_cast<uint>(screenshot.size()), "BMP"));
  EXPECT_EQ(shown.size(), QSize(400, 800));

  PictureWindow w;
  w.picture->setPixmap(shown);
  w.badge->hide();
  w.window.move(0, 0);
  w.window.show();
  Settle();
  const BmpProbe crop(CropBitmap(CaptureWidget(w.picture, {w.marker}), kRegion.x(), kRegion.y(),
                                 kRegion.width(), kRegion.height()));
  ASSERT_TRUE(crop.Valid());
  ASSERT_EQ(crop.Width(), 224);
  for (int y = 0; y < 166; ++y) {
    for (int x = 0; x < 224; ++x) {
      ASSERT_EQ(crop.At(x, y), PicturePixel(kRegion.x() + x, kRegion.y() + y)) << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace qa
