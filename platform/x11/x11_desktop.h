#pragma once
// The desktop on X11: the window manager's client list, titles, state and place of windows, and the
// root window's pixels, over a connection of our own.

#include <memory>

#include "platform/desktop.h"

namespace skorva {

// A desktop on `display` (nullptr: $DISPLAY); nullptr when no X server can be reached.
std::unique_ptr<Desktop> makeX11Desktop(const char* display = nullptr);

}  // namespace skorva
