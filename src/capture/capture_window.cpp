#include "capture/capture_window.h"

#include "capture/make_bitmap.h"

namespace qa {

Bytes CaptureWindow(const WindowRenderer& window) {
  WindowPixels pixels;
  if (!window.RenderWindow(pixels)) return {};
  if (pixels.width < 1 || pixels.height < 1 ||
      pixels.rows.size() < static_cast<std::size_t>(pixels.width) * 4 * pixels.height) {
    return {};
  }
  return MakeBitmap32(pixels.width, pixels.height, pixels.rows.data(),
                      static_cast<std::size_t>(pixels.width) * 4, pixels.xPelsPerMeter,
                      pixels.yPelsPerMeter);
}

}  // namespace qa
