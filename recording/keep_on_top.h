#pragma once

#include "core/types.h"

namespace skorva {

// Places the window above all windows that are not kept on top, without moving or resizing it. The
// result is not needed: a window that refuses stays where it is.
void KeepOnTop(WindowHandle hwnd);

}  // namespace skorva
