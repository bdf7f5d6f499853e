// Capture of a window's own appearance as a 32-bit bottom-up BMP file.
//
// The drawing itself belongs to the user-interface toolkit: it is reached
// through WindowRenderer, so this part stays free of any toolkit and display.
#pragma once

#include <cstdint>
#include <vector>

#include "text/text.h"

namespace qa {

// One rendered window: rows top row first, width * 4 bytes each, every pixel
// as blue, green, red, unused.
struct WindowPixels {
  int width = 0;
  int height = 0;
  int xPelsPerMeter = 0;
  int yPelsPerMeter = 0;
  std::vector<std::uint8_t> rows;
};

// Draws one window, border included, as it paints itself: what covers it on
// the screen, or whether it is on the screen at all, makes no difference.
class WindowRenderer {
 public:
  virtual ~WindowRenderer() = default;
  // False when the renderer names no window (any more).
  virtual bool RenderWindow(WindowPixels& out) const = 0;
};

// The BMP file of the window's current appearance: file header, the 40-byte
// info header (biSizeImage = width * height * 4, the renderer's resolutions,
// no colour counts) and the pixel rows bottom row first. Empty Bytes when the
// window cannot be rendered.
Bytes CaptureWindow(const WindowRenderer& window);

}  // namespace qa
