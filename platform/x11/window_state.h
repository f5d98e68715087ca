#pragma once
// A window's state and place: minimised or not, restoring it, keeping it on top, its outer rectangle.

#include <xcb/xcb.h>

#include "platform/types.h"
#include "platform/x11/x11_connection.h"

namespace skorva::x11 {

// WM_STATE Iconic or _NET_WM_STATE_HIDDEN; false for a window that is gone.
bool isIconic(const Connection& connection, xcb_window_t window);

// Asks the window manager to show and activate the window (or maps it when none runs), then waits,
// at most `kRestoreWaitMs`, until it is on screen and has been sent its Expose. False when the window
// is gone or did not come back in time.
bool restoreWindow(const Connection& connection, xcb_window_t window);
inline constexpr int kRestoreWaitMs = 300;

// Adds _NET_WM_STATE_ABOVE (raises the window when no manager runs) and waits briefly until the
// manager has applied it. False when the window is gone or the state did not take.
bool keepOnTop(const Connection& connection, xcb_window_t window);

// The client's geometry in root coordinates, grown by its border and _NET_FRAME_EXTENTS. False, and
// `rect` untouched, when the window is gone.
bool outerRect(const Connection& connection, xcb_window_t window, Rect& rect);

}  // namespace skorva::x11
