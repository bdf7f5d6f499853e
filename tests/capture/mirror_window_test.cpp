#include "capture/mirror_window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bmp_probe.h"
#include "fake_mirror_process.h"
#include "private_x_server.h"
#include "x_server_environment.h"

// Last: Xlib defines macros (None, Bool, Status) that clash with test headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace qa {
namespace {

using test::BmpProbe;
using test::FakeMirrorProcess;
using test::Rgb;

const auto* const kXServer =
    ::testing::AddGlobalTestEnvironment(new test::XServerEnvironment(1280, 1024));

constexpr int kScreenWidth = 1280, kScreenHeight = 1024;
constexpr Rgb kPictureBackground{0x20, 0x20, 0x20};
constexpr Rgb kBlack{0, 0, 0};

// The image the fake receiver shows: 100 x 150 in four coloured blocks.
Rgb ImagePixel(int x, int y) {
  if (y < 75) return x < 50 ? Rgb{230, 40, 30} : Rgb{30, 200, 60};
  return x < 50 ? Rgb{40, 50, 220} : Rgb{250, 230, 20};
}

unsigned long PixelOf(Rgb c) {
  return (c.r << 16) | (c.g << 8) | c.b;
}

// Windows the test makes itself, on its own connection.
class OwnWindows {
 public:
  OwnWindows() : display_(XOpenDisplay(nullptr)) {}
  ~OwnWindows() {
    if (display_ != nullptr) XCloseDisplay(display_);
  }
  Display* display() const { return display_; }
  Window Root() const { return DefaultRootWindow(display_); }

  Window Create(Window parent, int x, int y, int width, int height, Rgb colour, int border = 0,
                Rgb borderColour = {}) {
    const Window w = XCreateSimpleWindow(display_, parent, x, y, width, height, border,
                                         PixelOf(borderColour), PixelOf(colour));
    return w;
  }
  void SetClass(Window w, const char* instance, const char* klass) {
    XClassHint hint{const_cast<char*>(instance), const_cast<char*>(klass)};
    XSetClassHint(display_, w, &hint);
  }
  void Map(Window w) {
    XMapWindow(display_, w);
    XSync(display_, False);
  }
  void Destroy(Window w) {
    XDestroyWindow(display_, w);
    XSync(display_, False);
  }

 private:
  Display* display_;
};

class MirrorWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(windows_.display(), nullptr);
    imagePath_ = std::filesystem::temp_directory_path() /
                 ("mirror_image_" + std::to_string(getpid()) + ".bmp");
    const Bytes bmp = test::MakeTestBmp32(100, 150, ImagePixel);
    std::ofstream(imagePath_, std::ios::binary)
        .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
  }
  void TearDown() override { std::filesystem::remove(imagePath_); }

  // A receiver whose picture child is 160 x 240 at x, y, above a 30-pixel toolbar.
  std::unique_ptr<FakeMirrorProcess> StartMirror(int x = 200, int y = 100) {
    FakeMirrorProcess::Options options;
    options.image = imagePath_.string();
    options.x = x;
    options.y = y;
    options.width = 160;
    options.height = 240;
    options.toolbar = 30;
    auto mirror = std::make_unique<FakeMirrorProcess>(options);
    EXPECT_TRUE(mirror->Ready());
    return mirror;
  }

  // Checks that the BMP shows the receiver's picture with its top-left corner at ox, oy.
  static void ExpectPictureAt(const BmpProbe& shot, int ox, int oy) {
    for (const auto& [x, y] : {std::pair{5, 5}, {95, 5}, {5, 145}, {95, 145}, {49, 74}}) {
      EXPECT_EQ(shot.At(ox + x, oy + y), ImagePixel(x, y)) << "image pixel " << x << "," << y;
    }
    EXPECT_EQ(shot.At(ox + 150, oy + 10), kPictureBackground);
    EXPECT_EQ(shot.At(ox + 10, oy + 230), kPictureBackground);
  }

  OwnWindows windows_;
  std::filesystem::path imagePath_;
};

TEST_F(MirrorWindowTest, FindsNothingWithoutAReceiverWindowWithAChild) {
  EXPECT_EQ(FindMirrorWindow(), 0u);

  const Window other = windows_.Create(windows_.Root(), 0, 0, 50, 50, {1, 2, 3});
  windows_.SetClass(other, "other", "Other");
  windows_.Create(other, 0, 0, 10, 10, {4, 5, 6});
  windows_.Map(other);
  EXPECT_EQ(FindMirrorWindow(), 0u);

  const Window childless = windows_.Create(windows_.Root(), 60, 0, 50, 50, {1, 2, 3});
  windows_.SetClass(childless, "fake", "CHWindow");
  windows_.Map(childless);
  EXPECT_EQ(FindMirrorWindow(), 0u);
}

TEST_F(MirrorWindowTest, FindsTheTopChildOfTheReceiversWindow) {
  auto mirror = StartMirror();
  ASSERT_TRUE(mirror->Ready());
  EXPECT_EQ(FindMirrorWindow(), mirror->Picture());  // not the toolbar below it
  ASSERT_TRUE(mirror->Hide());                       // a window off the screen is still found
  EXPECT_EQ(FindMirrorWindow(), mirror->Picture());
  ASSERT_TRUE(mirror->Close());
  EXPECT_EQ(FindMirrorWindow(), 0u);
}

TEST_F(MirrorWindowTest, MatchesTheClassOrTheInstanceName) {
  const struct {
    const char* instance;
    const char* klass;
    bool found;
  } cases[] = {{"CHWindow", "Receiver", true},
               {"receiver", "CHWindow", true},
               {"CHWindowX", "XCHWindow", false},
               {"", "", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.instance) + "/" + c.klass);
    const Window top = windows_.Create(windows_.Root(), 0, 0, 50, 50, {1, 2, 3});
    windows_.SetClass(top, c.instance, c.klass);
    const Window child = windows_.Create(top, 0, 0, 10, 10, {4, 5, 6});
    windows_.Map(top);
    EXPECT_EQ(FindMirrorWindow(), c.found ? child : 0u);
    windows_.Destroy(top);
  }
}

TEST_F(MirrorWindowTest, FindsTheReceiverNearestTheTop) {
  auto lower = StartMirror(0, 0);
  auto upper = StartMirror(300, 0);
  ASSERT_TRUE(lower->Ready() && upper->Ready());
  EXPECT_EQ(FindMirrorWindow(), upper->Picture());
  ASSERT_TRUE(lower->Raise());
  EXPECT_EQ(FindMirrorWindow(), lower->Picture());
}

// A reparenting window manager puts each top-level window into a frame that
// carries no class of its own.
TEST_F(MirrorWindowTest, FindsTheReceiverInsideAFrameAndCapturesTheFrameWithIt) {
  auto mirror = StartMirror();
  ASSERT_TRUE(mirror->Ready());
  constexpr Rgb kFrame{90, 140, 190}, kFrameBorder{10, 250, 10};
  const Window frame =
      windows_.Create(windows_.Root(), 300, 200, 160 + 8, 240 + 30 + 24, kFrame, 2, kFrameBorder);
  windows_.Map(frame);
  XReparentWindow(windows_.display(), mirror->TopLevel(), frame, 4, 20);
  XSync(windows_.display(), False);

  EXPECT_EQ(FindMirrorWindow(), mirror->Picture());

  const Bytes outer = ScreenshotWindow(mirror->TopLevel());
  const BmpProbe shot(outer);
  ASSERT_TRUE(shot.Valid());
  EXPECT_EQ(shot.Width(), 168 + 4);
  EXPECT_EQ(shot.Height(), 294 + 4);
  EXPECT_EQ(shot.At(0, 0), kFrameBorder);
  EXPECT_EQ(shot.At(5, 5), kFrame);
  ExpectPictureAt(shot, 2 + 4, 2 + 20);

  const BmpProbe picture(ScreenshotWindow(mirror->Picture()));
  ASSERT_TRUE(picture.Valid());
  EXPECT_EQ(picture.Width(), 160);
  EXPECT_EQ(picture.Height(), 240);
  ExpectPictureAt(picture, 0, 0);
}

TEST_F(MirrorWindowTest, ScreenshotOfTheFoundWindowShowsItsPicture) {
  auto mirror = StartMirror();
  ASSERT_TRUE(mirror->Ready());
  const Bytes bmp = ScreenshotWindow(FindMirrorWindow());
  const BmpProbe shot(bmp);
  ASSERT_TRUE(shot.Valid());
  EXPECT_EQ(shot.BitCount(), 32);
  EXPECT_EQ(shot.Width(), 160);
  EXPECT_EQ(shot.Height(), 240);
  EXPECT_EQ(test::Field32(bmp, 2), bmp.size());
  EXPECT_EQ(bmp.size(), 54u + 160 * 240 * 4);
  ExpectPictureAt(shot, 0, 0);

  // The top-level window without a frame: picture on top, toolbar below.
  const BmpProbe whole(ScreenshotWindow(mirror->TopLevel()));
  ASSERT_TRUE(whole.Valid());
  EXPECT_EQ(whole.Width(), 160);
  EXPECT_EQ(whole.Height(), 270);
  ExpectPictureAt(whole, 0, 0);
  EXPECT_EQ(whole.At(80, 255), (Rgb{0x5A, 0x5A, 0x78}));
}

TEST_F(MirrorWindowTest, ScreenshotShowsWhatCoversTheWindow) {
  auto mirror = StartMirror(200, 100);
  ASSERT_TRUE(mirror->Ready());
  constexpr Rgb kCover{200, 0, 200};
  const Window cover = windows_.Create(windows_.Root(), 200 + 60, 100 + 100, 300, 50, kCover);
  windows_.Map(cover);

  const BmpProbe shot(ScreenshotWindow(mirror->Picture()));
  ASSERT_TRUE(shot.Valid());
  EXPECT_EQ(shot.At(60, 100), kCover);
  EXPECT_EQ(shot.At(159, 149), kCover);
  EXPECT_EQ(shot.At(59, 100), ImagePixel(59, 100));
  EXPECT_EQ(shot.At(60, 99), ImagePixel(60, 99));
  EXPECT_EQ(shot.At(5, 5), ImagePixel(5, 5));
}

TEST_F(MirrorWindowTest, ScreenshotOfAWindowReachingOffTheScreenIsPaddedWithBlack) {
  auto mirror = StartMirror();
  ASSERT_TRUE(mirror->Ready());
  ASSERT_TRUE(mirror->Move(-30, -40));
  BmpProbe shot(ScreenshotWindow(mirror->Picture()));
  ASSERT_TRUE(shot.Valid());
  EXPECT_EQ(shot.Width(), 160);
  EXPECT_EQ(shot.Height(), 240);
  EXPECT_EQ(shot.At(0, 0), kBlack);
  EXPECT_EQ(shot.At(29, 100), kBlack);
  EXPECT_EQ(shot.At(100, 39), kBlack);
  EXPECT_EQ(shot.At(30, 40), ImagePixel(30, 40));
  EXPECT_EQ(shot.At(95, 145), ImagePixel(95, 145));

  ASSERT_TRUE(mirror->Move(kScreenWidth - 100, kScreenHeight - 200));
  const Bytes corner = ScreenshotWindow(mirror->Picture());
  const BmpProbe cornerShot(corner);
  ASSERT_TRUE(cornerShot.Valid());
  EXPECT_EQ(cornerShot.At(95, 145), ImagePixel(95, 145));
  EXPECT_EQ(cornerShot.At(99, 199), kPictureBackground);
  EXPECT_EQ(cornerShot.At(5, 5), ImagePixel(5, 5));
  EXPECT_EQ(cornerShot.At(100, 5), kBlack);
  EXPECT_EQ(cornerShot.At(5, 200), kBlack);

  ASSERT_TRUE(mirror->Move(-500, -500));  // wholly off the screen
  const BmpProbe gone(ScreenshotWindow(mirror->Picture()));
  ASSERT_TRUE(gone.Valid());
  EXPECT_EQ(gone.Width(), 160);
  EXPECT_EQ(gone.At(80, 120), kBlack);
}

TEST_F(MirrorWindowTest, ScreenshotIncludesTheWindowsBorder) {
  constexpr Rgb kInside{10, 20, 30}, kBorder{250, 120, 0};
  const Window top = windows_.Create(windows_.Root(), 10, 10, 100, 100, {0, 0, 0});
  const Window child = windows_.Create(top, 20, 20, 40, 30, kInside, 3, kBorder);
  XMapSubwindows(windows_.display(), top);
  windows_.Map(top);

  const BmpProbe shot(ScreenshotWindow(child));
  ASSERT_TRUE(shot.Valid());
  EXPECT_EQ(shot.Width(), 46);
  EXPECT_EQ(shot.Height(), 36);
  EXPECT_EQ(shot.At(0, 0), kBorder);
  EXPECT_EQ(shot.At(45, 35), kBorder);
  EXPECT_EQ(shot.At(3, 3), kInside);
  EXPECT_EQ(shot.At(42, 32), kInside);
}

TEST_F(MirrorWindowTest, ScreenshotOfAStaleHandleIsEmpty) {
  const Window gone = windows_.Create(windows_.Root(), 0, 0, 20, 20, {1, 1, 1});
  windows_.Map(gone);
  ASSERT_FALSE(ScreenshotWindow(gone).empty());
  windows_.Destroy(gone);
  EXPECT_TRUE(ScreenshotWindow(gone).empty());
  EXPECT_TRUE(ScreenshotWindow(0x7FFFFFFF).empty());
  EXPECT_TRUE(ScreenshotWindow(0xFFFFFFFFFFull).empty());

  // The process lives on and the next calls work.
  auto mirror = StartMirror();
  ASSERT_TRUE(mirror->Ready());
  EXPECT_EQ(FindMirrorWindow(), mirror->Picture());
  EXPECT_FALSE(ScreenshotWindow(mirror->Picture()).empty());
}

TEST_F(MirrorWindowTest, ScreenshotOfHandleZeroIsTheWholeScreen) {
  auto mirror = StartMirror(200, 100);
  ASSERT_TRUE(mirror->Ready());
  const Bytes bmp = ScreenshotWindow(0);
  const BmpProbe shot(bmp);
  ASSERT_TRUE(shot.Valid());
  EXPECT_EQ(shot.Width(), kScreenWidth);
  EXPECT_EQ(shot.Height(), kScreenHeight);
  EXPECT_EQ(bmp.size(), 54u + kScreenWidth * kScreenHeight * 4);
  ExpectPictureAt(shot, 200, 100);
}

// The error handler is process-wide: calls on several threads, some of them
// with stale handles, must each get their own answer.
TEST_F(MirrorWindowTest, CallsOnSeveralThreadsAtOnceKeepTheirErrorsApart) {
  auto mirror = StartMirror();
  ASSERT_TRUE(mirror->Ready());
  const Window gone = windows_.Create(windows_.Root(), 0, 0, 20, 20, {1, 1, 1});
  windows_.Destroy(gone);
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 20; ++i) {
        if (t % 2 == 0) {
          if (!ScreenshotWindow(gone).empty()) ++wrong;
        } else {
          if (FindMirrorWindow() != mirror->Picture()) ++wrong;
          if (BmpProbe(ScreenshotWindow(mirror->Picture())).Width() != 160) ++wrong;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

// A 16-bit screen holds 5 or 6 bits per colour: the copy scales them back
// to 8 bits.
TEST_F(MirrorWindowTest, ScreenshotOfA16BitScreenKeepsTheColours) {
  test::PrivateXServer shallow(640, 480, 16);  // DISPLAY points at it meanwhile
  ASSERT_TRUE(shallow.Running());
  auto mirror = StartMirror(20, 30);
  ASSERT_TRUE(mirror->Ready());
  const BmpProbe shot(ScreenshotWindow(FindMirrorWindow()));
  ASSERT_TRUE(shot.Valid());
  EXPECT_EQ(shot.Width(), 160);
  auto near = [](Rgb a, Rgb b) {
    return std::abs(a.r - b.r) <= 8 && std::abs(a.g - b.g) <= 8 && std::abs(a.b - b.b) <= 8;
  };
  for (const auto& [x, y] : {std::pair{5, 5}, {95, 5}, {5, 145}, {95, 145}}) {
    EXPECT_TRUE(near(shot.At(x, y), ImagePixel(x, y))) << x << "," << y;
  }
  EXPECT_TRUE(near(shot.At(150, 200), kPictureBackground));
  const BmpProbe screen(ScreenshotWindow(0));
  ASSERT_TRUE(screen.Valid());
  EXPECT_EQ(screen.Width(), 640);
  EXPECT_EQ(screen.Height(), 480);
  mirror->Close();
}

TEST_F(MirrorWindowTest, GivesNothingWithoutADisplay) {
  const std::string display = std::getenv("DISPLAY");
  setenv("DISPLAY", ":65000", 1);  // no server there
  EXPECT_EQ(FindMirrorWindow(), 0u);
  EXPECT_TRUE(ScreenshotWindow(0).empty());
  setenv("DISPLAY", display.c_str(), 1);
}

}  // namespace
}  // namespace qa
