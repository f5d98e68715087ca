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

// A property request on its way: sent, its reply not yet read. Several requests sent before their
// replies are read share one round trip.
struct PropertyRequest {
    xcb_get_property_cookie_t cookie{};
    xcb_atom_t type = XCB_ATOM_NONE;
    bool sent = false;
};

// The requests that tell whether a window manager runs: the root's check window, and the check window
// we saw last time asked at once on the guess that it is still the same.
struct WindowManagerCheck {
    PropertyRequest onRoot;
    PropertyRequest onLastCheckWindow;
    xcb_window_t lastCheckWindow = XCB_WINDOW_NONE;
};

class Connection {
  public:
    // 4 MiB is far beyond any list a client sets.
    static constexpr std::uint32_t kMaxPropertyBytes = 4u << 20;

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
    // At most `maxBytes` of it are read (a multiple of 4).
    std::optional<Property> property(xcb_window_t window, xcb_atom_t name,
                                     xcb_atom_t type = XCB_GET_PROPERTY_TYPE_ANY,
                                     std::uint32_t maxBytes = kMaxPropertyBytes) const;
    // The same in two halves; every request sent must have its reply read.
    PropertyRequest requestProperty(xcb_window_t window, xcb_atom_t name,
                                    xcb_atom_t type = XCB_GET_PROPERTY_TYPE_ANY,
                                    std::uint32_t maxBytes = kMaxPropertyBytes) const;
    std::optional<Property> propertyReply(const PropertyRequest& request) const;
    // Gives up a request whose reply is no longer wanted.
    void discard(const PropertyRequest& request) const;
    // True when the handle names a window (or another drawable) that still exists.
    bool exists(xcb_window_t window) const;
    xcb_get_geometry_cookie_t requestExists(xcb_window_t window) const;
    bool existsReply(xcb_get_geometry_cookie_t cookie) const;
    // True when an EWMH window manager is running: the root names a check window that names itself.
    bool windowManagerRunning() const;
    WindowManagerCheck requestWindowManagerCheck() const;
    bool windowManagerReply(const WindowManagerCheck& check) const;
    // Waits until the server has handled everything sent so far; a request sent just before is then
    // certain to have arrived.
    void roundTrip() const;

    // The screen's size now. It can change at run time (RandR), and the setup reply only tells the size
    // at connection: the root's ConfigureNotify events keep it current. Reads the events that have come.
    std::int32_t screenWidth() const;
    std::int32_t screenHeight() const;
    // Asks the server for the root's size, for when a request found the screen other than we thought.
    void refreshScreenSize() const;
    // Every event read from this connection passes here, so that none of the root's is lost.
    void noteEvent(const xcb_generic_event_t& event) const;

    // Composite 0.2 or later (a window's own pixmap can be named), and Damage; asked once at connection.
    bool hasComposite() const { return composite_; }
    bool hasDamage() const { return damage_; }
    // The type of a DamageNotify event on this connection (only with Damage).
    std::uint8_t damageNotifyType() const { return damageNotify_; }

  private:
    Connection(ConnectionPtr connection, xcb_screen_t* screen)
        : connection_(std::move(connection)),
          screen_(screen),
          screenWidth_(screen->width_in_pixels),
          screenHeight_(screen->height_in_pixels) {}
    void internAtoms();
    void queryExtensions();
    void followScreenSize() const;

    ConnectionPtr connection_;
    xcb_screen_t* screen_ = nullptr;
    Atoms atoms_;
    // Only a guess that saves a round trip; the answer never rests on it alone.
    mutable xcb_window_t lastCheckWindow_ = XCB_WINDOW_NONE;
    mutable std::int32_t screenWidth_;
    mutable std::int32_t screenHeight_;
    bool composite_ = false;
    bool damage_ = false;
    std::uint8_t damageNotify_ = 0;
};

}  // namespace skorva::x11
