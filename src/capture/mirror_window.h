// Finding the phone-mirroring receiver's window and copying what the screen
// shows of it. One implementation per platform sits behind this header.
#pragma once

#include <cstdint>

#include "text/text.h"

namespace qa {

// A native window id; 0 names no window.
using WindowHandle = std::uint64_t;

// The window that shows the phone: the first child (the top of the stacking
// order) of the top-level window of class "CHWindow", whatever its title, and
// also when a window manager has framed it. 0 when there is no such window or
// it has no child window.
WindowHandle FindMirrorWindow();

// A 32-bit bottom-up BMP of what the screen shows in the window's outer
// rectangle (its border, and a window manager's frame around a top-level
// window, included): parts covered by other windows show what covers them,
// parts off the screen are black. For handle 0 the whole screen; for a handle
// that names no window, and when there is no display, empty Bytes.
Bytes ScreenshotWindow(WindowHandle handle);

}  // namespace qa
