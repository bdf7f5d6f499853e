// A stand-in for the phone-mirroring receiver, for tests on an X server.
//
//   fake_mirror [--at X Y] [--size W H] [--toolbar H] [IMAGE]
//
// Opens a top-level window of class "CHWindow" (instance "fake_mirror",
// title "Fake mirror") at X, Y (default 0 0). Inside it: a toolbar child of
// height H (default 40) along the bottom, created first and so lowest in the
// stacking order, and above it the picture child of W x H (default 400 x
// 800) on top of the stacking order, showing IMAGE (any format the image
// codec reads) at its natural size from its top-left corner on dark grey.
//
// When the window is on the screen it prints
//   ready <top-level id> <picture id> <toolbar id>
// (decimal window ids) and then obeys one command per line on stdin,
// answering "ok" once the X server has carried it out, or "error <why>":
//   move X Y      move the top-level window
//   resize W H    resize the picture child (the top-level follows)
//   hide | show   unmap | map the top-level window
//   raise         put the top-level window on top of its siblings
//   image PATH    show another image
//   quit          close the window and exit (so does the end of stdin)
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <allheaders.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "capture/reencode_image.h"

namespace {

constexpr unsigned long kPictureBackground = 0x202020;
constexpr unsigned long kToolbarColour = 0x5A5A78;

struct PixDeleter {
  void operator()(PIX* pix) const { pixDestroy(&pix); }
};
using PixPtr = std::unique_ptr<PIX, PixDeleter>;

struct DisplayCloser {
  void operator()(Display* display) const { XCloseDisplay(display); }
};

// Reads an image file into a 32-bit Leptonica image. The bytes go through
// ReencodeImage first so that every source format is read the same way the
// program reads it.
PixPtr LoadImage(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return nullptr;
  qa::Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  qa::Bytes png;
  if (!qa::ReencodeImage(bytes, qa::kImagePng, {}, &png)) return nullptr;
  PixPtr pix(pixReadMem(png.data(), png.size()));
  if (!pix) return nullptr;
  return PixPtr(pixConvertTo32(pix.get()));
}

// A colour channel of the visual: where its bits lie and how many there are.
struct Channel {
  explicit Channel(unsigned long m) : mask(m) {
    while (mask != 0 && ((mask >> shift) & 1) == 0) ++shift;
    max = mask >> shift;
  }
  unsigned long Of(int value) const { return ((value * max + 127) / 255) << shift; }
  unsigned long mask;
  int shift = 0;
  unsigned long max = 0;
};

// The pixel value of a 0xRRGGBB colour on the screen's visual.
unsigned long PixelOf(Display* display, unsigned long rgb) {
  const Visual* visual = DefaultVisual(display, DefaultScreen(display));
  return Channel(visual->red_mask).Of((rgb >> 16) & 0xFF) |
         Channel(visual->green_mask).Of((rgb >> 8) & 0xFF) |
         Channel(visual->blue_mask).Of(rgb & 0xFF);
}

class FakeMirror {
 public:
  FakeMirror(Display* display, int x, int y, int width, int height, int toolbar)
      : display_(display), width_(width), height_(height), toolbar_(toolbar) {
    const int screen = DefaultScreen(display_);
    const Window root = RootWindow(display_, screen);
    topLevel_ = XCreateSimpleWindow(display_, root, x, y, width_, height_ + toolbar_, 0, 0,
                                    BlackPixel(display_, screen));
    XStoreName(display_, topLevel_, "Fake mirror");
    XClassHint hint{};
    char instance[] = "fake_mirror";
    char klass[] = "CHWindow";
    hint.res_name = instance;
    hint.res_class = klass;
    XSetClassHint(display_, topLevel_, &hint);
    XSizeHints size{};
    size.flags = USPosition | PPosition;
    size.x = x;
    size.y = y;
    XSetWMNormalHints(display_, topLevel_, &size);
    XSelectInput(display_, topLevel_, StructureNotifyMask);

    toolbar_window_ = XCreateSimpleWindow(display_, topLevel_, 0, height_, width_, toolbar_, 0, 0,
                                          PixelOf(display_, kToolbarColour));
    picture_ = XCreateSimpleWindow(display_, topLevel_, 0, 0, width_, height_, 0, 0,
                                   PixelOf(display_, kPictureBackground));
    XMapSubwindows(display_, topLevel_);
  }

  void Show() { XMapWindow(display_, topLevel_); }

  // Waits until the top-level window is mapped.
  void WaitMapped() {
    XEvent event;
    do {
      XWindowEvent(display_, topLevel_, StructureNotifyMask, &event);
    } while (event.type != MapNotify);
  }

  void PrintReady() const {
    std::printf("ready %lu %lu %lu\n", topLevel_, picture_, toolbar_window_);
    std::fflush(stdout);
  }

  bool ShowImage(const std::string& path) {
    PixPtr pix = LoadImage(path);
    if (!pix) return false;
    image_ = std::move(pix);
    Repaint();
    return true;
  }

  void Resize(int width, int height) {
    width_ = width;
    height_ = height;
    XResizeWindow(display_, topLevel_, width_, height_ + toolbar_);
    XMoveResizeWindow(display_, toolbar_window_, 0, height_, width_, toolbar_);
    XResizeWindow(display_, picture_, width_, height_);
    Repaint();
  }

  void Move(int x, int y) { XMoveWindow(display_, topLevel_, x, y); }
  void Hide() { XUnmapWindow(display_, topLevel_); }
  void Raise() { XRaiseWindow(display_, topLevel_); }

  ~FakeMirror() {
    if (pixmap_ != 0) XFreePixmap(display_, pixmap_);
    XDestroyWindow(display_, topLevel_);
    XSync(display_, False);
  }

 private:
  // The picture child's background is a pixmap holding the image, so that
  // the X server repaints it on its own whenever it is exposed.
  void Repaint() {
    const int screen = DefaultScreen(display_);
    const int depth = DefaultDepth(display_, screen);
    if (pixmap_ != 0) XFreePixmap(display_, pixmap_);
    pixmap_ = XCreatePixmap(display_, picture_, width_, height_, depth);
    GC gc = XCreateGC(display_, pixmap_, 0, nullptr);
    XSetForeground(display_, gc, PixelOf(display_, kPictureBackground));
    XFillRectangle(display_, pixmap_, gc, 0, 0, width_, height_);
    if (image_) PutImage(gc, depth);
    XFreeGC(display_, gc);
    XSetWindowBackgroundPixmap(display_, picture_, pixmap_);
    XClearWindow(display_, picture_);
  }

  void PutImage(GC gc, int depth) {
    Visual* visual = DefaultVisual(display_, DefaultScreen(display_));
    const int w = std::min<int>(pixGetWidth(image_.get()), width_);
    const int h = std::min<int>(pixGetHeight(image_.get()), height_);
    XImage* image = XCreateImage(display_, visual, depth, ZPixmap, 0, nullptr, w, h, 32, 0);
    if (image == nullptr) return;
    image->data = static_cast<char*>(std::calloc(image->bytes_per_line, h));
    const Channel red(visual->red_mask), green(visual->green_mask), blue(visual->blue_mask);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        l_int32 r = 0, g = 0, b = 0;
        pixGetRGBPixel(image_.get(), x, y, &r, &g, &b);
        const unsigned long pixel = red.Of(r) | green.Of(g) | blue.Of(b);
        XPutPixel(image, x, y, pixel);
      }
    }
    XPutImage(display_, pixmap_, gc, image, 0, 0, 0, 0, w, h);
    XDestroyImage(image);  // frees the data too
  }

  Display* display_;
  int width_, height_, toolbar_;
  Window topLevel_ = 0, picture_ = 0, toolbar_window_ = 0;
  Pixmap pixmap_ = 0;
  PixPtr image_;
};

// Runs one command line; false on "quit".
bool Obey(FakeMirror& mirror, Display* display, const std::string& line) {
  std::istringstream words(line);
  std::string command;
  words >> command;
  std::string answer = "ok";
  if (command == "quit") return false;
  if (command == "move") {
    int x = 0, y = 0;
    if (words >> x >> y)
      mirror.Move(x, y);
    else
      answer = "error usage: move X Y";
  } else if (command == "resize") {
    int w = 0, h = 0;
    if (words >> w >> h && w > 0 && h > 0)
      mirror.Resize(w, h);
    else
      answer = "error usage: resize W H";
  } else if (command == "hide") {
    mirror.Hide();
  } else if (command == "show") {
    mirror.Show();
  } else if (command == "raise") {
    mirror.Raise();
  } else if (command == "image") {
    std::string path;
    std::getline(words >> std::ws, path);
    if (!mirror.ShowImage(path)) answer = "error cannot read image";
  } else if (!command.empty()) {
    answer = "error unknown command";
  }
  XSync(display, False);
  std::printf("%s\n", answer.c_str());
  std::fflush(stdout);
  return true;
}

}  // namespace

// The windows may be destroyed under the program (a test that reparented
// them closes its connection): failed requests are no reason to stop.
static int IgnoreError(Display*, XErrorEvent*) {
  return 0;
}

int main(int argc, char** argv) {
  setMsgSeverity(L_SEVERITY_NONE);
  XSetErrorHandler(IgnoreError);
  int x = 0, y = 0, width = 400, height = 800, toolbar = 40;
  std::string imagePath;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--at" && i + 2 < argc) {
      x = std::atoi(argv[++i]);
      y = std::atoi(argv[++i]);
    } else if (arg == "--size" && i + 2 < argc) {
      width = std::atoi(argv[++i]);
      height = std::atoi(argv[++i]);
    } else if (arg == "--toolbar" && i + 1 < argc) {
      toolbar = std::atoi(argv[++i]);
    } else if (!arg.empty() && arg[0] != '-') {
      imagePath = arg;
    } else {
      std::fprintf(stderr, "usage: fake_mirror [--at X Y] [--size W H] [--toolbar H] [IMAGE]\n");
      return 2;
    }
  }
  if (width < 1 || height < 1 || toolbar < 1) {
    std::fprintf(stderr, "fake_mirror: sizes must be positive\n");
    return 2;
  }

  std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
  if (!display) {
    std::fprintf(stderr, "fake_mirror: cannot open the display\n");
    return 1;
  }
  FakeMirror mirror(display.get(), x, y, width, height, toolbar);
  if (!imagePath.empty() && !mirror.ShowImage(imagePath)) {
    std::fprintf(stderr, "fake_mirror: cannot read %s\n", imagePath.c_str());
    return 1;
  }
  mirror.Show();
  mirror.WaitMapped();
  XSync(display.get(), False);
  mirror.PrintReady();

  // Commands from stdin; X events are only drained (the server repaints the
  // windows from their background on its own).
  std::string pending;
  pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {ConnectionNumber(display.get()), POLLIN, 0}};
  for (;;) {
    while (XPending(display.get()) > 0) {
      XEvent event;
      XNextEvent(display.get(), &event);
    }
    if (poll(fds, 2, -1) < 0) continue;
    if (fds[0].revents & (POLLIN | POLLHUP)) {
      char buffer[512];
      const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
      if (n <= 0) return 0;
      pending.append(buffer, static_cast<std::size_t>(n));
      std::size_t end;
      while ((end = pending.find('\n')) != std::string::npos) {
        const std::string line = pending.substr(0, end);
        pending.erase(0, end + 1);
        if (!Obey(mirror, display.get(), line)) return 0;
      }
    }
  }
}
