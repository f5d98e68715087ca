#pragma once
// A window's state and place: minimised or not, restoring it, keeping it on top, its outer rectangle.

#include <xcb/xcb.h>

#include "core/types.h"
#include "platform/x11/repaint_watch.h"
#include "platform/x11/x11_connection.h"

namespace skorva::x11 {

// WM_STATE Iconic or _NET_WM_STATE_HIDDEN, or not shown at all (unmapped: withdrawn, hidden to a tray;
// or on a desktop not shown): whatever must be restored before its pixels can be read. False for a
// window that is gone.
bool isIconic(const Connection& connection, xcb_window_t window);

// Asks the window manager to show and activate the window (maps it when none runs, or when it is
// withdrawn), then waits, at most `kRepaintWaitMs`, until it is on screen and its owner has repainted
// it. False when the window is gone or did not come back in time.
bool restoreWindow(const Connection& connection, xcb_window_t window);

// Adds _NET_WM_STATE_ABOVE (raises the window when no manager runs), waits briefly until the manager
// has applied it, and then until the owner has repainted what the raise uncovered. False when the
// window is gone or the state did not take.
bool keepOnTop(const Connection& connection, xcb_window_t window);

// Takes _NET_WM_STATE_ABOVE off again and waits briefly until the manager has done so. False when the
// window is gone, no manager runs, or the state stayed.
bool dropKeepOnTop(const Connection& connection, xcb_window_t window);

// The client's geometry in root coordinates, grown by its border and _NET_FRAME_EXTENTS. False, and
// `rect` untouched, when the window is gone.
bool outerRect(const Connection& connection, xcb_window_t window, Rect& rect);

// The same reads in two halves, so that the desktop can ask for all that one tick needs in one round
// trip. Every request made must be answered by its reply function or given up with discard().
struct IconicRequest {
    PropertyRequest wmState;
    PropertyRequest netWmState;
    xcb_get_window_attributes_cookie_t attributes{};
    bool sent = false;
};
IconicRequest requestIconic(const Connection& connection, xcb_window_t window);
bool iconicReply(const Connection& connection, const IconicRequest& request);
void discard(const Connection& connection, const IconicRequest& request);

struct KeepOnTopRequest {
    xcb_window_t window = XCB_WINDOW_NONE;
    xcb_get_geometry_cookie_t exists{};
    WindowManagerCheck manager;
    PropertyRequest state;
    bool sent = false;
};
KeepOnTopRequest requestKeepOnTop(const Connection& connection, xcb_window_t window);
// What keepOnTop asked of the window's stacking: nothing (above already), a raise (no manager runs), or
// _NET_WM_STATE_ABOVE, which stays until someone takes it off.
enum class StackingChange { None, Raised, AboveAdded };
// `stacking` (when given) tells what was asked.
bool keepOnTopReply(const Connection& connection, const KeepOnTopRequest& request, StackingChange* stacking);
void discard(const Connection& connection, const KeepOnTopRequest& request);

struct OuterRectRequest {
    xcb_get_geometry_cookie_t geometry{};
    xcb_translate_coordinates_cookie_t origin{};
    PropertyRequest frame;
    bool sent = false;
};
OuterRectRequest requestOuterRect(const Connection& connection, xcb_window_t window);
// `client` (when given) gets the client's own rectangle in root coordinates, border and frame left out.
bool outerRectReply(const Connection& connection, const OuterRectRequest& request, Rect& rect,
                    Rect* client = nullptr);
void discard(const Connection& connection, const OuterRectRequest& request);

}  // namespace skorva::x11
