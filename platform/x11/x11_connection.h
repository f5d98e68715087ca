#pragma once
// Our own connection to the X server (not the toolkit's), with the atoms the desktop needs and the
// property reads that every concern shares.

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/x11/xcb_handles.h"

namespace skorva::x11 {

struct Atoms {
    xcb_atom_t netClientList = XCB_ATOM_NONE;
    xcb_atom_t netWmName = XCB_ATOM_NONE;
    xcb_atom_t utf8String = XCB_ATOM_NONE;
    xcb_atom_t compoundText = XCB_ATOM_NONE;
    xcb_atom_t wmState = XCB_ATOM_NONE;
    xcb_atom_t netWmState = XCB_ATOM_NONE;
    xcb_atom_t netWmStateHidden = XCB_ATOM_NONE;
    xcb_atom_t netWmStateAbove = XCB_ATOM_NONE;
    xcb_atom_t netActiveWindow = XCB_ATOM_NONE;
    xcb_atom_t netFrameExtents = XCB_ATOM_NONE;
    xcb_atom_t netSupportingWmCheck = XCB_ATOM_NONE;
};

// A property's value as the server holds it.
struct Property {
    xcb_atom_t type = XCB_ATOM_NONE;
    std::uint8_t format = 0;
    std::vector<std::uint8_t> bytes;

    // The value read as 32-bit items (format 32 only; empty otherwise).
    std::vector<std::uint32_t> items32() const;
};

class Connection {
  public:
    // Connects to `display` (nullptr: $DISPLAY); nullopt when no server can be reached.
    static std::optional<Connection> open(const char* display);

    xcb_connection_t* get() const { return connection_.get(); }
    const xcb_setup_t* setup() const { return xcb_get_setup(connection_.get()); }
    xcb_screen_t* screen() const { return screen_; }
    xcb_window_t root() const { return screen_->root; }
    const Atoms& atoms() const { return atoms_; }
    bool broken() const { return xcb_connection_has_error(connection_.get()) != 0; }

    // The property, or nullopt when the window is gone or has no such property. `type` ANY accepts
    // every type.
    std::optional<Property> property(xcb_window_t window, xcb_atom_t name,
                                     xcb_atom_t type = XCB_GET_PROPERTY_TYPE_ANY) const;
    // True when the handle names a window (or another drawable) that still exists.
    bool exists(xcb_window_t window) const;
    // True when an EWMH window manager is running: the root names a check window that names itself.
    bool windowManagerRunning() const;
    // Waits until the server has handled everything sent so far; a request sent just before is then
    // certain to have arrived.
    void roundTrip() const;

  private:
    Connection(ConnectionPtr connection, xcb_screen_t* screen)
        : connection_(std::move(connection)), screen_(screen) {}
    void internAtoms();

    ConnectionPtr connection_;
    xcb_screen_t* screen_ = nullptr;
    Atoms atoms_;
};

}  // namespace skorva::x11
