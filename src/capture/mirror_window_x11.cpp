// The mirror window on X11, over Xlib. Every call opens its own connection
// to the display named by DISPLAY and closes it before returning.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "capture/make_bitmap.h"
#include "capture/mirror_window.h"

namespace qa {
namespace {

constexpr std::string_view kMirrorClass = "CHWindow";

struct DisplayCloser {
  void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

struct XFreeDeleter {
  void operator()(void* data) const {
    if (data != nullptr) XFree(data);
  }
};

struct ImageDeleter {
  void operator()(XImage* image) const { XDestroyImage(image); }
};
using ImagePtr = std::unique_ptr<XImage, ImageDeleter>;

// Xlib reports a failed request (a window that no longer exists, above all)
// to a process-wide handler whose default ends the process. While one of our
// calls talks to its display, a handler that records the error instead is in
// place; errors of any other display go on to the handler that was there
// before. The handler is process-wide, so one trap at a time.
std::atomic<Display*> trappedDisplay{nullptr};
std::atomic<int> trappedError{0};
std::atomic<XErrorHandler> previousHandler{nullptr};

int RecordError(Display* display, XErrorEvent* event) {
  if (display == trappedDisplay.load()) {
    if (trappedError.load() == 0) trappedError.store(event->error_code);
    return 0;
  }
  XErrorHandler previous = previousHandler.load();
  return previous != nullptr ? previous(display, event) : 0;
}

class ErrorTrap {
 public:
  explicit ErrorTrap(Display* display) : lock_(Mutex()), display_(display) {
    XSync(display_, False);
    trappedError.store(0);
    trappedDisplay.store(display_);
    previousHandler.store(XSetErrorHandler(RecordError));
  }
  ~ErrorTrap() {
    XSync(display_, False);
    XSetErrorHandler(previousHandler.load());
    trappedDisplay.store(nullptr);
  }
  ErrorTrap(const ErrorTrap&) = delete;
  ErrorTrap& operator=(const ErrorTrap&) = delete;

  // True when a request failed since the trap was set; waits for the replies
  // of all requests sent so far.
  bool Failed() {
    XSync(display_, False);
    return trappedError.load() != 0;
  }

 private:
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }
  std::lock_guard<std::mutex> lock_;
  Display* display_;
};

DisplayPtr OpenDisplay() {
  return DisplayPtr(XOpenDisplay(nullptr));
}

// The children of a window, bottom of the stacking order first.
std::vector<Window> Children(Display* display, Window window, Window* parent = nullptr) {
  Window root = 0, parentWindow = 0;
  Window* list = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, window, &root, &parentWindow, &list, &count)) return {};
  std::unique_ptr<Window, XFreeDeleter> owned(list);
  if (parent != nullptr) *parent = parentWindow;
  return std::vector<Window>(list, list + count);
}

// Whether the window carries WM_CLASS at all, and whether its instance or
// class name is `name`.
struct ClassMatch {
  bool hasClass = false;
  bool matches = false;
};

ClassMatch MatchClass(Display* display, Window window, std::string_view name) {
  XClassHint hint{};
  if (!XGetClassHint(display, window, &hint)) return {};
  std::unique_ptr<char, XFreeDeleter> instance(hint.res_name), klass(hint.res_class);
  const bool matches = (hint.res_name != nullptr && name == hint.res_name) ||
                       (hint.res_class != nullptr && name == hint.res_class);
  return {true, matches};
}

// The application's window inside a child of the root: the child itself when
// it carries WM_CLASS, else the nearest descendant that does (a window
// manager's frames carry none). 0 when there is none.
Window ClientWindow(Display* display, Window topLevel, std::string_view name, bool* matches) {
  constexpr int kMaxDepth = 4;
  std::deque<std::pair<Window, int>> pending{{topLevel, 0}};
  while (!pending.empty()) {
    auto [window, depth] = pending.front();
    pending.pop_front();
    const ClassMatch match = MatchClass(display, window, name);
    if (match.hasClass) {
      *matches = match.matches;
      return window;
    }
    if (depth == kMaxDepth) continue;
    const std::vector<Window> children = Children(display, window);
    for (auto it = children.rbegin(); it != children.rend(); ++it)
      pending.emplace_back(*it, depth + 1);
  }
  return 0;
}

// The top-level window of the given class nearest the top of the stacking order.
Window FindTopLevel(Display* display, std::string_view name) {
  const std::vector<Window> topLevels = Children(display, DefaultRootWindow(display));
  for (auto it = topLevels.rbegin(); it != topLevels.rend(); ++it) {
    bool matches = false;
    const Window client = ClientWindow(display, *it, name, &matches);
    if (client != 0 && matches) return client;
  }
  return 0;
}

struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
};

// The window that makes up the outer rectangle: for an application's
// top-level window the child of the root that holds it (the window manager's
// frame, or the window itself when it is not framed); for any other window
// the window itself.
Window OuterWindow(Display* display, Window window) {
  if (!MatchClass(display, window, {}).hasClass) return window;
  const Window root = DefaultRootWindow(display);
  Window outer = window;
  for (int depth = 0; depth < 16; ++depth) {
    Window parent = 0;
    Children(display, outer, &parent);
    if (parent == 0) return window;
    if (parent == root) return outer;
    if (MatchClass(display, parent, {}).hasClass)
      return window;  // inside another application window
    outer = parent;
  }
  return window;
}

std::optional<Rect> OuterRect(Display* display, Window window, ErrorTrap& trap) {
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display, window, &attributes) || trap.Failed()) return std::nullopt;
  const Window outer = OuterWindow(display, window);
  if (outer != window && (!XGetWindowAttributes(display, outer, &attributes) || trap.Failed())) {
    return std::nullopt;
  }
  int x = 0, y = 0;
  Window child = 0;
  if (!XTranslateCoordinates(display, outer, DefaultRootWindow(display), 0, 0, &x, &y, &child) ||
      trap.Failed()) {
    return std::nullopt;
  }
  const int border = attributes.border_width;
  return Rect{x - border, y - border, attributes.width + 2 * border,
              attributes.height + 2 * border};
}

// Position of the lowest set bit and the width of the mask, for scaling a
// colour channel of any visual to 8 bits.
struct Channel {
  int shift = 0;
  unsigned long max = 0;
  explicit Channel(unsigned long mask) {
    if (mask == 0) return;
    while (((mask >> shift) & 1) == 0) ++shift;
    max = mask >> shift;
  }
  std::uint8_t Of(unsigned long pixel, unsigned long mask) const {
    if (max == 0) return 0;
    return static_cast<std::uint8_t>(((pixel & mask) >> shift) * 255 / max);
  }
};

// Copies the image into the BMP file `bitmap` of width x height, its
// top-left pixel to dx, dy; each pixel as blue, green, red, 0.
void CopyPixels(const XImage& image, Bytes& bitmap, int width, int height, int dx, int dy) {
  const bool nativeBgrx = image.bits_per_pixel == 32 && image.byte_order == LSBFirst &&
                          image.red_mask == 0xFF0000 && image.green_mask == 0xFF00 &&
                          image.blue_mask == 0xFF;
  const Channel red(image.red_mask), green(image.green_mask), blue(image.blue_mask);
  XImage& source = const_cast<XImage&>(image);  // XGetPixel takes a non-const image
  for (int y = 0; y < image.height; ++y) {
    std::uint8_t* out = Bitmap32Row(bitmap, width, height, dy + y) + 4 * dx;
    if (nativeBgrx) {
      const std::uint8_t* in = reinterpret_cast<const std::uint8_t*>(image.data) +
                               static_cast<std::size_t>(y) * image.bytes_per_line;
      std::memcpy(out, in, static_cast<std::size_t>(image.width) * 4);
      for (int x = 0; x < image.width; ++x) out[4 * x + 3] = 0;
      continue;
    }
    for (int x = 0; x < image.width; ++x, out += 4) {
      const unsigned long pixel = XGetPixel(&source, x, y);
      out[0] = blue.Of(pixel, image.blue_mask);
      out[1] = green.Of(pixel, image.green_mask);
      out[2] = red.Of(pixel, image.red_mask);
    }
  }
}

int PelsPerMeter(int pixels, int millimetres) {
  return millimetres > 0 ? static_cast<int>(pixels * 1000LL / millimetres) : 0;
}

// What the screen shows in `rect`; the parts off the screen stay black.
Bytes GrabScreen(Display* display, const Rect& rect, ErrorTrap& trap) {
  const int screen = DefaultScreen(display);
  const int screenWidth = DisplayWidth(display, screen);
  const int screenHeight = DisplayHeight(display, screen);
  Bytes bitmap = BlankBitmap32(rect.width, rect.height,
                               PelsPerMeter(screenWidth, DisplayWidthMM(display, screen)),
                               PelsPerMeter(screenHeight, DisplayHeightMM(display, screen)));
  if (bitmap.empty()) return bitmap;

  // Only the part on the screen is read: the server refuses a rectangle
  // that reaches past the edge of the root window.
  const int left = std::max(rect.x, 0), top = std::max(rect.y, 0);
  const int right = std::min(rect.x + rect.width, screenWidth);
  const int bottom = std::min(rect.y + rect.height, screenHeight);
  if (left >= right || top >= bottom) return bitmap;
  ImagePtr image(XGetImage(display, DefaultRootWindow(display), left, top,
                           static_cast<unsigned>(right - left), static_cast<unsigned>(bottom - top),
                           AllPlanes, ZPixmap));
  if (!image || trap.Failed()) return {};
  CopyPixels(*image, bitmap, rect.width, rect.height, left - rect.x, top - rect.y);
  return bitmap;
}

}  // namespace

WindowHandle FindMirrorWindow() {
  DisplayPtr display = OpenDisplay();
  if (!display) return 0;
  ErrorTrap trap(display.get());
  const Window mirror = FindTopLevel(display.get(), kMirrorClass);
  if (mirror == 0) return 0;
  const std::vector<Window> children = Children(display.get(), mirror);
  if (children.empty() || trap.Failed()) return 0;
  return children.back();  // the top of the stacking order
}

Bytes ScreenshotWindow(WindowHandle handle) {
  DisplayPtr display = OpenDisplay();
  if (!display) return {};
  ErrorTrap trap(display.get());
  Rect rect;
  if (handle == 0) {
    const int screen = DefaultScreen(display.get());
    rect = {0, 0, DisplayWidth(display.get(), screen), DisplayHeight(display.get(), screen)};
  } else {
    const std::optional<Rect> outer = OuterRect(display.get(), static_cast<Window>(handle), trap);
    if (!outer) return {};
    rect = *outer;
  }
  return GrabScreen(display.get(), rect, trap);
}

}  // namespace qa
