#pragma once
// Paints a picture stretched to a rectangle of a device context, as the image control shows it.

#include <windows.h>

#include "core/picture.h"

namespace skorva::win32 {

// Nothing is painted for an empty picture: the control's background stays.
void paintStretched(HDC dc, const RECT& into, const Picture& picture);

}  // namespace skorva::win32
