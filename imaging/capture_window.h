#pragma once
// The window grabber: copies a rectangle of the screen, or of one window, into a new picture. The capture
// tick calls it once a second with the viewer window and its video rectangle counted from the window's
// outer top-left corner.

#include <cstdint>
#include <vector>

#include "core/message.h"
#include "core/picture.h"
#include "core/types.h"

namespace skorva {

// Grabs WidthSrc x HeightSrc pixels at (LeftSrc, TopSrc). With hWndSrc 0 the coordinates are the
// screen's and what the screen does not cover is black; otherwise they count from the outer top-left
// corner of that window, and the pixels are the window's own where the desktop can read them (covered or
// off the screen), the screen's where it cannot. An error raised by a step is added to `raised`
// ("CaptureWindow" + number + description), for the caller to show, and the routine goes on: the result is
// then a null picture. A window that is gone gives a null picture too, and so does one that has not yet
// painted anew what it had not shown before the desktop began to read its own pixels: `notRepainted`
// (when given) tells that case, in which the frame is to be left out.
Picture CaptureWindow(WindowHandle hWndSrc, std::int32_t LeftSrc, std::int32_t TopSrc, std::int32_t WidthSrc,
                      std::int32_t HeightSrc, std::vector<Message>& raised, bool* notRepainted = nullptr);

// Wraps grabbed pixels as the picture that owns them. On X11 the grab already arrives as a picture and
// there is no palette or picture factory, so this takes over that reference and nothing in it can raise
// an error; a null bitmap gives a null picture.
Picture CreateBitmapPicture(Picture hBmp) noexcept;

}  // namespace skorva
