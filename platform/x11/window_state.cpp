#include "platform/x11/window_state.h"

#include <poll.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <functional>
#include <optional>

namespace skorva::x11 {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kWmStateIconic = 3;
// Source indication 2: the request comes from a pager-like tool acting for the user, which window
// managers honour without focus-stealing checks.
constexpr std::uint32_t kSourcePager = 2;
constexpr std::uint32_t kNetWmStateAdd = 1;
constexpr int kKeepOnTopWaitMs = 200;
// The owner repaints after its Expose; we cannot see that, so allow it this long after the last one.
constexpr int kRepaintSettleMs = 30;

// Selects events on another program's window for as long as it lives. Our selection is our own: the
// owner's event mask is not touched.
class EventWatch {
  public:
    EventWatch(const Connection& connection, xcb_window_t window, std::uint32_t mask)
        : connection_(connection), window_(window) {
        select(mask);
    }
    ~EventWatch() { select(XCB_EVENT_MASK_NO_EVENT); }
    EventWatch(const EventWatch&) = delete;
    EventWatch& operator=(const EventWatch&) = delete;

  private:
    void select(std::uint32_t mask) {
        // Checked, so that a window that is gone gives a discarded error rather than a stray event.
        ErrorPtr error(xcb_request_check(
            connection_.get(),
            xcb_change_window_attributes_checked(connection_.get(), window_, XCB_CW_EVENT_MASK, &mask)));
    }

    const Connection& connection_;
    xcb_window_t window_;
};

// Hands every event that arrives before `deadline` to `handle` until it returns true. False on timeout
// or a broken connection.
bool waitFor(const Connection& connection, Clock::time_point deadline,
             const std::function<bool(const xcb_generic_event_t&)>& handle) {
    while (true) {
        while (Reply<xcb_generic_event_t> event{xcb_poll_for_event(connection.get())}) {
            connection.noteEvent(*event);
            if (handle(*event)) {
                return true;
            }
        }
        if (connection.broken()) {
            return false;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return false;
        }
        pollfd descriptor{xcb_get_file_descriptor(connection.get()), POLLIN, 0};
        poll(&descriptor, 1, static_cast<int>(left));
    }
}

std::uint8_t eventType(const xcb_generic_event_t& event) {
    return static_cast<std::uint8_t>(event.response_type & 0x7F);
}

bool isViewable(const Connection& connection, xcb_window_t window) {
    Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        connection.get(), xcb_get_window_attributes(connection.get(), window), nullptr));
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

bool hasState(const std::optional<Property>& netWmState, xcb_atom_t state) {
    if (!netWmState) {
        return false;
    }
    const auto items = netWmState->items32();
    return std::find(items.begin(), items.end(), state) != items.end();
}

bool hasNetState(const Connection& connection, xcb_window_t window, xcb_atom_t state) {
    return hasState(connection.property(window, connection.atoms().netWmState, XCB_ATOM_ATOM), state);
}

void sendToRoot(const Connection& connection, xcb_window_t window, xcb_atom_t type,
                const std::array<std::uint32_t, 5>& data) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = type;
    std::copy(data.begin(), data.end(), message.data.data32);
    xcb_send_event(connection.get(), 0, connection.root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
}

}  // namespace

IconicRequest requestIconic(const Connection& connection, xcb_window_t window) {
    const Atoms& atoms = connection.atoms();
    // Both asked at once: the tick asks every second, and one round trip is half the wait.
    return {connection.requestProperty(window, atoms.wmState, atoms.wmState),
            connection.requestProperty(window, atoms.netWmState, XCB_ATOM_ATOM)};
}

bool iconicReply(const Connection& connection, const IconicRequest& request) {
    const auto state = connection.propertyReply(request.wmState);
    const auto net = connection.propertyReply(request.netWmState);
    if (state) {
        const auto items = state->items32();
        if (!items.empty() && items.front() == kWmStateIconic) {
            return true;
        }
    }
    return hasState(net, connection.atoms().netWmStateHidden);
}

bool isIconic(const Connection& connection, xcb_window_t window) {
    return iconicReply(connection, requestIconic(connection, window));
}

bool restoreWindow(const Connection& connection, xcb_window_t window) {
    // A _NET_ACTIVE_WINDOW message for a window that is gone raises no error at all, so ask first.
    if (!connection.exists(window)) {
        return false;
    }
    const bool shown = isViewable(connection, window) && !isIconic(connection, window);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kRestoreWaitMs);
    EventWatch watch(connection, window, XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_EXPOSURE);
    if (connection.windowManagerRunning()) {
        sendToRoot(connection, window, connection.atoms().netActiveWindow,
                   {kSourcePager, XCB_CURRENT_TIME, 0, 0, 0});
    } else {
        xcb_map_window(connection.get(), window);
        const std::uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(connection.get(), window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    }
    connection.roundTrip();
    if (shown) {
        return connection.exists(window);
    }

    bool exposed = false;
    waitFor(connection, deadline, [&](const xcb_generic_event_t& event) {
        if (eventType(event) == XCB_EXPOSE) {
            const auto& expose = reinterpret_cast<const xcb_expose_event_t&>(event);
            exposed = exposed || (expose.window == window && expose.count == 0);
        }
        return exposed;
    });
    if (exposed) {
        // Let the owner answer its Expose: wait until no further Expose comes for a short while.
        Clock::time_point quietUntil =
            std::min(deadline, Clock::now() + std::chrono::milliseconds(kRepaintSettleMs));
        while (waitFor(connection, quietUntil,
                       [&](const xcb_generic_event_t& event) { return eventType(event) == XCB_EXPOSE; })) {
            quietUntil = std::min(deadline, Clock::now() + std::chrono::milliseconds(kRepaintSettleMs));
        }
    }
    return isViewable(connection, window) && !isIconic(connection, window);
}

KeepOnTopRequest requestKeepOnTop(const Connection& connection, xcb_window_t window) {
    KeepOnTopRequest request;
    request.window = window;
    if (window == XCB_WINDOW_NONE) {
        return request;
    }
    // What decides the case, asked at once: the tick asks every second, mostly of a window that is
    // above already.
    request.exists = connection.requestExists(window);
    request.manager = connection.requestWindowManagerCheck();
    request.state = connection.requestProperty(window, connection.atoms().netWmState, XCB_ATOM_ATOM);
    request.sent = true;
    return request;
}

bool keepOnTopReply(const Connection& connection, const KeepOnTopRequest& request, bool* changed) {
    if (changed != nullptr) {
        *changed = false;
    }
    if (!request.sent) {
        return false;
    }
    const xcb_window_t window = request.window;
    const xcb_atom_t above = connection.atoms().netWmStateAbove;
    const bool exists = connection.existsReply(request.exists);
    const bool managed = connection.windowManagerReply(request.manager);
    const auto state = connection.propertyReply(request.state);
    if (!exists) {
        return false;
    }
    if (!managed) {
        if (changed != nullptr) {
            *changed = true;
        }
        const std::uint32_t mode = XCB_STACK_MODE_ABOVE;
        ErrorPtr error(xcb_request_check(
            connection.get(),
            xcb_configure_window_checked(connection.get(), window, XCB_CONFIG_WINDOW_STACK_MODE, &mode)));
        return !error;
    }
    if (hasState(state, above)) {
        return true;
    }
    if (changed != nullptr) {
        *changed = true;
    }
    EventWatch watch(connection, window, XCB_EVENT_MASK_PROPERTY_CHANGE);
    sendToRoot(connection, window, connection.atoms().netWmState,
               {kNetWmStateAdd, above, 0, kSourcePager, 0});
    connection.roundTrip();
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kKeepOnTopWaitMs);
    return hasNetState(connection, window, above) ||
           waitFor(connection, deadline, [&](const xcb_generic_event_t& event) {
               if (eventType(event) != XCB_PROPERTY_NOTIFY) {
                   return false;
               }
               const auto& change = reinterpret_cast<const xcb_property_notify_event_t&>(event);
               return change.window == window && change.atom == connection.atoms().netWmState &&
                      hasNetState(connection, window, above);
           });
}

bool keepOnTop(const Connection& connection, xcb_window_t window) {
    return keepOnTopReply(connection, requestKeepOnTop(connection, window), nullptr);
}

OuterRectRequest requestOuterRect(const Connection& connection, xcb_window_t window) {
    OuterRectRequest request;
    if (window == XCB_WINDOW_NONE) {
        return request;
    }
    xcb_connection_t* c = connection.get();
    // All three at once: one round trip.
    request.geometry = xcb_get_geometry(c, window);
    request.origin = xcb_translate_coordinates(c, window, connection.root(), 0, 0);
    request.frame = connection.requestProperty(window, connection.atoms().netFrameExtents, XCB_ATOM_CARDINAL);
    request.sent = true;
    return request;
}

bool outerRectReply(const Connection& connection, const OuterRectRequest& request, Rect& rect) {
    if (!request.sent) {
        return false;
    }
    xcb_connection_t* c = connection.get();
    xcb_generic_error_t* rawError = nullptr;
    Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, request.geometry, &rawError));
    ErrorPtr geometryError(rawError);
    rawError = nullptr;
    Reply<xcb_translate_coordinates_reply_t> origin(
        xcb_translate_coordinates_reply(c, request.origin, &rawError));
    ErrorPtr originError(rawError);
    const auto frame = connection.propertyReply(request.frame);
    if (!geometry || geometryError || !origin || originError) {
        return false;
    }
    // left, right, top, bottom: what the manager's frame adds around the client.
    std::int32_t extents[4] = {0, 0, 0, 0};
    if (frame) {
        const auto items = frame->items32();
        for (std::size_t i = 0; i < 4 && i < items.size(); ++i) {
            extents[i] = static_cast<std::int32_t>(std::min<std::uint32_t>(items[i], 0x7FFF));
        }
    }
    // The translated origin lies inside the client's own border.
    const std::int32_t border = geometry->border_width;
    rect.left = origin->dst_x - border - extents[0];
    rect.top = origin->dst_y - border - extents[2];
    rect.right = origin->dst_x + geometry->width + border + extents[1];
    rect.bottom = origin->dst_y + geometry->height + border + extents[3];
    return true;
}

bool outerRect(const Connection& connection, xcb_window_t window, Rect& rect) {
    return outerRectReply(connection, requestOuterRect(connection, window), rect);
}

void discard(const Connection& connection, const IconicRequest& request) {
    connection.discard(request.wmState);
    connection.discard(request.netWmState);
}

void discard(const Connection& connection, const KeepOnTopRequest& request) {
    if (!request.sent) {
        return;
    }
    xcb_discard_reply(connection.get(), request.exists.sequence);
    connection.discard(request.manager.onRoot);
    connection.discard(request.manager.onLastCheckWindow);
    connection.discard(request.state);
}

void discard(const Connection& connection, const OuterRectRequest& request) {
    if (!request.sent) {
        return;
    }
    xcb_discard_reply(connection.get(), request.geometry.sequence);
    xcb_discard_reply(connection.get(), request.origin.sequence);
    connection.discard(request.frame);
}

}  // namespace skorva::x11
