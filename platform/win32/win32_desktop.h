#pragma once
// The desktop on Windows: top-level windows by EnumWindows, their titles, state and place from User32,
// the screen through GDI. A window handle is the HWND, whose significant bits fit in 32 even in a 64-bit
// process.

#include <memory>

#include "platform/desktop.h"

namespace skorva {

std::unique_ptr<Desktop> makeWin32Desktop();

}  // namespace skorva
