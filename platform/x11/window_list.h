#pragma once
// The top-level windows and their titles.

#include <xcb/xcb.h>

#include <string>
#include <vector>

#include "platform/x11/x11_connection.h"

namespace skorva::x11 {

// The client windows in the window manager's order (_NET_CLIENT_LIST); without a manager, the root's
// children that are viewable and not override-redirect (menus, tooltips), bottom to top.
std::vector<xcb_window_t> topLevelWindows(const Connection& connection);

// _NET_WM_NAME, else WM_NAME, as UTF-8; empty when the window has neither or is gone.
std::string windowTitle(const Connection& connection, xcb_window_t window);

}  // namespace skorva::x11
