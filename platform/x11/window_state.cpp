#include "platform/x11/window_state.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <optional>

#include "platform/x11/repaint_watch.h"

namespace skorva::x11 {

namespace {

constexpr std::uint32_t kWmStateIconic = 3;
// Source indication 2: the request comes from a pager-like tool acting for the user, which window
// managers honour without focus-stealing checks.
constexpr std::uint32_t kSourcePager = 2;
constexpr std::uint32_t kNetWmStateRemove = 0;
constexpr std::uint32_t kNetWmStateAdd = 1;
constexpr int kKeepOnTopWaitMs = 200;
constexpr std::uint32_t kWmStateWithdrawn = 0;

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
    IconicRequest request;
    if (window == XCB_WINDOW_NONE) {
        return request;
    }
    // All asked at once: the tick asks every second, and one round trip is a third of the wait.
    request.wmState = connection.requestProperty(window, atoms.wmState, atoms.wmState);
    request.netWmState = connection.requestProperty(window, atoms.netWmState, XCB_ATOM_ATOM);
    request.attributes = xcb_get_window_attributes(connection.get(), window);
    request.sent = true;
    return request;
}

bool iconicReply(const Connection& connection, const IconicRequest& request) {
    if (!request.sent) {
        return false;
    }
    const auto state = connection.propertyReply(request.wmState);
    const auto net = connection.propertyReply(request.netWmState);
    xcb_generic_error_t* rawError = nullptr;
    Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(connection.get(), request.attributes, &rawError));
    ErrorPtr error(rawError);
    // A window that is gone is not minimised: its rectangle and grab fail instead.
    if (!attributes || error) {
        return false;
    }
    if (state) {
        const auto items = state->items32();
        if (!items.empty() && items.front() == kWmStateIconic) {
            return true;
        }
    }
    // Unmapped without being minimised (withdrawn, hidden to a tray) or on a desktop not shown: its
    // pixels cannot be read until it is shown again, as for a minimised one.
    return hasState(net, connection.atoms().netWmStateHidden) ||
           attributes->map_state != XCB_MAP_STATE_VIEWABLE;
}

bool isIconic(const Connection& connection, xcb_window_t window) {
    return iconicReply(connection, requestIconic(connection, window));
}

bool restoreWindow(const Connection& connection, xcb_window_t window) {
    // A _NET_ACTIVE_WINDOW message for a window that is gone raises no error at all, so ask first.
    if (!connection.exists(window)) {
        return false;
    }
    if (!isIconic(connection, window)) {
        return true;
    }
    const auto state = connection.property(window, connection.atoms().wmState, connection.atoms().wmState);
    const bool withdrawn =
        !state || state->items32().empty() || state->items32().front() == kWmStateWithdrawn;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kRepaintWaitMs);
    RepaintWatch watch(connection, window, XCB_EVENT_MASK_STRUCTURE_NOTIFY);
    if (connection.windowManagerRunning() && !withdrawn) {
        sendToRoot(connection, window, connection.atoms().netActiveWindow,
                   {kSourcePager, XCB_CURRENT_TIME, 0, 0, 0});
    } else {
        // A withdrawn window is no longer the manager's: mapping it hands it back (the manager is asked
        // first, through its redirect of the root's children).
        xcb_map_window(connection.get(), window);
        const std::uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(connection.get(), window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    }
    connection.roundTrip();
    watch.waitForRepaint(deadline, true);
    return !isIconic(connection, window);
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

bool keepOnTopReply(const Connection& connection, const KeepOnTopRequest& request, StackingChange* stacking) {
    if (stacking != nullptr) {
        *stacking = StackingChange::None;
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
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kRepaintWaitMs);
    if (!managed) {
        if (stacking != nullptr) {
            *stacking = StackingChange::Raised;
        }
        // Raising a covered window exposes it: the grab that follows must see its owner's repaint.
        RepaintWatch watch(connection, window);
        const std::uint32_t mode = XCB_STACK_MODE_ABOVE;
        ErrorPtr error(xcb_request_check(
            connection.get(),
            xcb_configure_window_checked(connection.get(), window, XCB_CONFIG_WINDOW_STACK_MODE, &mode)));
        if (error) {
            return false;
        }
        watch.waitForRepaint(deadline, false);
        return true;
    }
    if (hasState(state, above)) {
        return true;
    }
    if (stacking != nullptr) {
        *stacking = StackingChange::AboveAdded;
    }
    RepaintWatch watch(connection, window, XCB_EVENT_MASK_PROPERTY_CHANGE);
    sendToRoot(connection, window, connection.atoms().netWmState,
               {kNetWmStateAdd, above, 0, kSourcePager, 0});
    connection.roundTrip();
    const Clock::time_point stateDeadline = Clock::now() + std::chrono::milliseconds(kKeepOnTopWaitMs);
    const bool applied = hasNetState(connection, window, above) ||
                         waitFor(connection, stateDeadline, [&](const xcb_generic_event_t& event) {
                             watch.note(event);
                             if (eventType(event) != XCB_PROPERTY_NOTIFY) {
                                 return false;
                             }
                             const auto& change = reinterpret_cast<const xcb_property_notify_event_t&>(event);
                             return change.window == window && change.atom == connection.atoms().netWmState &&
                                    hasNetState(connection, window, above);
                         });
    // The manager restacks before it sets the state: what the raise exposed has been sent by now.
    if (applied) {
        watch.waitForRepaint(deadline, false);
    }
    return applied;
}

bool keepOnTop(const Connection& connection, xcb_window_t window) {
    return keepOnTopReply(connection, requestKeepOnTop(connection, window), nullptr);
}

bool dropKeepOnTop(const Connection& connection, xcb_window_t window) {
    const xcb_atom_t above = connection.atoms().netWmStateAbove;
    if (!connection.exists(window) || !connection.windowManagerRunning()) {
        return false;
    }
    if (!hasNetState(connection, window, above)) {
        return true;
    }
    EventWatch watch(connection, window, XCB_EVENT_MASK_PROPERTY_CHANGE);
    sendToRoot(connection, window, connection.atoms().netWmState,
               {kNetWmStateRemove, above, 0, kSourcePager, 0});
    // Waited for: a Start right after must not find the window above still and take it for the user's.
    connection.roundTrip();
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kKeepOnTopWaitMs);
    return !hasNetState(connection, window, above) ||
           waitFor(connection, deadline, [&](const xcb_generic_event_t& event) {
               if (eventType(event) != XCB_PROPERTY_NOTIFY) {
                   return false;
               }
               const auto& change = reinterpret_cast<const xcb_property_notify_event_t&>(event);
               return change.window == window && change.atom == connection.atoms().netWmState &&
                      !hasNetState(connection, window, above);
           });
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

bool outerRectReply(const Connection& connection, const OuterRectRequest& request, Rect& rect, Rect* client) {
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
    if (client != nullptr) {
        *client = {origin->dst_x, origin->dst_y, origin->dst_x + geometry->width,
                   origin->dst_y + geometry->height};
    }
    return true;
}

bool outerRect(const Connection& connection, xcb_window_t window, Rect& rect) {
    return outerRectReply(connection, requestOuterRect(connection, window), rect);
}

void discard(const Connection& connection, const IconicRequest& request) {
    if (!request.sent) {
        return;
    }
    connection.discard(request.wmState);
    connection.discard(request.netWmState);
    xcb_discard_reply(connection.get(), request.attributes.sequence);
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
