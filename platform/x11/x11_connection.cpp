#include "platform/x11/x11_connection.h"

#include <xcb/composite.h>
#include <xcb/damage.h>
#include <xcb/xfixes.h>

#include <array>
#include <cstring>
#include <string_view>
#include <utility>

namespace skorva::x11 {

std::vector<std::uint32_t> Property::items32() const {
    std::vector<std::uint32_t> items;
    if (format != 32 || bytes.size() < 4) {
        return items;
    }
    items.resize(bytes.size() / 4);
    // The reply holds the items in the client's byte order.
    std::memcpy(items.data(), bytes.data(), items.size() * 4);
    return items;
}

std::optional<Connection> Connection::open(const char* display) {
    int screenNumber = 0;
    ConnectionPtr connection(xcb_connect(display, &screenNumber));
    if (!connection || xcb_connection_has_error(connection.get()) != 0) {
        return std::nullopt;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
    for (int i = 0; i < screenNumber && it.rem > 0; ++i) {
        xcb_screen_next(&it);
    }
    if (it.rem == 0 || it.data == nullptr) {
        return std::nullopt;
    }
    Connection result(std::move(connection), it.data);
    // The root's StructureNotify tells when the screen changes size; many clients may select it.
    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(result.get(), result.root(), XCB_CW_EVENT_MASK, &mask);
    result.internAtoms();
    result.queryExtensions();
    if (result.broken()) {
        return std::nullopt;
    }
    return result;
}

void Connection::internAtoms() {
    const std::array<std::pair<std::string_view, xcb_atom_t*>, 11> wanted{{
        {"_NET_CLIENT_LIST", &atoms_.netClientList},
        {"_NET_WM_NAME", &atoms_.netWmName},
        {"UTF8_STRING", &atoms_.utf8String},
        {"COMPOUND_TEXT", &atoms_.compoundText},
        {"WM_STATE", &atoms_.wmState},
        {"_NET_WM_STATE", &atoms_.netWmState},
        {"_NET_WM_STATE_HIDDEN", &atoms_.netWmStateHidden},
        {"_NET_WM_STATE_ABOVE", &atoms_.netWmStateAbove},
        {"_NET_ACTIVE_WINDOW", &atoms_.netActiveWindow},
        {"_NET_FRAME_EXTENTS", &atoms_.netFrameExtents},
        {"_NET_SUPPORTING_WM_CHECK", &atoms_.netSupportingWmCheck},
    }};
    // All requests first, then the replies: one round trip instead of eleven.
    std::array<xcb_intern_atom_cookie_t, wanted.size()> cookies{};
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        cookies[i] = xcb_intern_atom(get(), 0, static_cast<std::uint16_t>(wanted[i].first.size()),
                                     wanted[i].first.data());
    }
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(get(), cookies[i], nullptr));
        if (reply) {
            *wanted[i].second = reply->atom;
        }
    }
}

void Connection::queryExtensions() {
    xcb_connection_t* c = get();
    xcb_prefetch_extension_data(c, &xcb_composite_id);
    xcb_prefetch_extension_data(c, &xcb_damage_id);
    xcb_prefetch_extension_data(c, &xcb_xfixes_id);
    const auto present = [c](xcb_extension_t* extension) {
        const xcb_query_extension_reply_t* data = xcb_get_extension_data(c, extension);
        return data != nullptr && data->present != 0;
    };
    const bool composite = present(&xcb_composite_id);
    // Damage speaks of regions, which XFixes defines: a client announces both versions before using it.
    const bool damage = present(&xcb_damage_id) && present(&xcb_xfixes_id);
    // The versions asked at once: one round trip. Naming a window's pixmap came with Composite 0.2.
    xcb_composite_query_version_cookie_t compositeVersion{};
    xcb_xfixes_query_version_cookie_t xfixesVersion{};
    xcb_damage_query_version_cookie_t damageVersion{};
    if (composite) {
        compositeVersion =
            xcb_composite_query_version(c, XCB_COMPOSITE_MAJOR_VERSION, XCB_COMPOSITE_MINOR_VERSION);
    }
    if (damage) {
        xfixesVersion = xcb_xfixes_query_version(c, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION);
        damageVersion = xcb_damage_query_version(c, XCB_DAMAGE_MAJOR_VERSION, XCB_DAMAGE_MINOR_VERSION);
    }
    if (composite) {
        Reply<xcb_composite_query_version_reply_t> reply(
            xcb_composite_query_version_reply(c, compositeVersion, nullptr));
        composite_ = reply && (reply->major_version > 0 || reply->minor_version >= 2);
    }
    if (damage) {
        Reply<xcb_xfixes_query_version_reply_t> fixes(
            xcb_xfixes_query_version_reply(c, xfixesVersion, nullptr));
        Reply<xcb_damage_query_version_reply_t> reply(
            xcb_damage_query_version_reply(c, damageVersion, nullptr));
        damage_ = fixes && reply;
        if (damage_) {
            damageNotify_ = static_cast<std::uint8_t>(xcb_get_extension_data(c, &xcb_damage_id)->first_event +
                                                      XCB_DAMAGE_NOTIFY);
        }
    }
}

std::optional<Property> Connection::property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type,
                                             std::uint32_t maxBytes) const {
    return propertyReply(requestProperty(window, name, type, maxBytes));
}

PropertyRequest Connection::requestProperty(xcb_window_t window, xcb_atom_t name, xcb_atom_t type,
                                            std::uint32_t maxBytes) const {
    PropertyRequest request;
    if (window == XCB_WINDOW_NONE || name == XCB_ATOM_NONE) {
        return request;
    }
    request.cookie = xcb_get_property(get(), 0, window, name, type, 0, maxBytes / 4);
    request.type = type;
    request.sent = true;
    return request;
}

std::optional<Property> Connection::propertyReply(const PropertyRequest& request) const {
    if (!request.sent) {
        return std::nullopt;
    }
    xcb_generic_error_t* rawError = nullptr;
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(get(), request.cookie, &rawError));
    ErrorPtr error(rawError);
    if (!reply || error || reply->type == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    if (request.type != XCB_GET_PROPERTY_TYPE_ANY && reply->type != request.type) {
        return std::nullopt;
    }
    Property result;
    result.type = reply->type;
    result.format = reply->format;
    const int length = xcb_get_property_value_length(reply.get());
    const auto* value = static_cast<const std::uint8_t*>(xcb_get_property_value(reply.get()));
    if (length > 0 && value != nullptr) {
        result.bytes.assign(value, value + length);
    }
    return result;
}

void Connection::discard(const PropertyRequest& request) const {
    if (request.sent) {
        xcb_discard_reply(get(), request.cookie.sequence);
    }
}

bool Connection::exists(xcb_window_t window) const {
    if (window == XCB_WINDOW_NONE) {
        return false;
    }
    return existsReply(requestExists(window));
}

xcb_get_geometry_cookie_t Connection::requestExists(xcb_window_t window) const {
    return xcb_get_geometry(get(), window);
}

bool Connection::existsReply(xcb_get_geometry_cookie_t cookie) const {
    xcb_generic_error_t* rawError = nullptr;
    Reply<xcb_get_geometry_reply_t> reply(xcb_get_geometry_reply(get(), cookie, &rawError));
    ErrorPtr error(rawError);
    return reply && !error;
}

bool Connection::windowManagerRunning() const {
    return windowManagerReply(requestWindowManagerCheck());
}

WindowManagerCheck Connection::requestWindowManagerCheck() const {
    WindowManagerCheck check;
    check.onRoot = requestProperty(root(), atoms_.netSupportingWmCheck, XCB_ATOM_WINDOW);
    check.lastCheckWindow = lastCheckWindow_;
    check.onLastCheckWindow = requestProperty(lastCheckWindow_, atoms_.netSupportingWmCheck, XCB_ATOM_WINDOW);
    return check;
}

bool Connection::windowManagerReply(const WindowManagerCheck& check) const {
    const auto onRoot = propertyReply(check.onRoot);
    auto onGuess = propertyReply(check.onLastCheckWindow);
    if (!onRoot || onRoot->items32().empty()) {
        return false;
    }
    // A manager that has gone leaves the root's property behind; its check window is gone with it.
    const xcb_window_t window = onRoot->items32().front();
    lastCheckWindow_ = window;
    const auto onCheck = window == check.lastCheckWindow
                             ? std::move(onGuess)
                             : property(window, atoms_.netSupportingWmCheck, XCB_ATOM_WINDOW);
    return onCheck && !onCheck->items32().empty() && onCheck->items32().front() == window;
}

void Connection::roundTrip() const {
    Reply<xcb_get_input_focus_reply_t> reply(
        xcb_get_input_focus_reply(get(), xcb_get_input_focus(get()), nullptr));
}

std::int32_t Connection::screenWidth() const {
    followScreenSize();
    return screenWidth_;
}

std::int32_t Connection::screenHeight() const {
    followScreenSize();
    return screenHeight_;
}

void Connection::followScreenSize() const {
    while (Reply<xcb_generic_event_t> event{xcb_poll_for_event(get())}) {
        noteEvent(*event);
    }
}

void Connection::noteEvent(const xcb_generic_event_t& event) const {
    if ((event.response_type & 0x7F) != XCB_CONFIGURE_NOTIFY) {
        return;
    }
    const auto& configure = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
    if (configure.window == root()) {
        screenWidth_ = configure.width;
        screenHeight_ = configure.height;
    }
}

void Connection::refreshScreenSize() const {
    Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(get(), xcb_get_geometry(get(), root()), nullptr));
    if (geometry) {
        screenWidth_ = geometry->width;
        screenHeight_ = geometry->height;
    }
}

}  // namespace skorva::x11
