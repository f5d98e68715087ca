#include "platform/x11/window_list.h"

#include <string_view>

#include "platform/x11/text_conversion.h"

namespace skorva::x11 {

namespace {

std::vector<xcb_window_t> rootChildren(const Connection& connection) {
    std::vector<xcb_window_t> result;
    xcb_connection_t* c = connection.get();
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, connection.root()), nullptr));
    if (!tree) {
        return result;
    }
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    std::vector<xcb_get_window_attributes_cookie_t> cookies;
    cookies.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        cookies.push_back(xcb_get_window_attributes(c, children[i]));
    }
    for (int i = 0; i < count; ++i) {
        // A child that went away meanwhile has no attributes and is left out.
        Reply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, cookies[static_cast<std::size_t>(i)], nullptr));
        if (attributes && attributes->override_redirect == 0 &&
            attributes->map_state == XCB_MAP_STATE_VIEWABLE) {
            result.push_back(children[i]);
        }
    }
    return result;
}

std::string asText(const Property& value, const Atoms& atoms) {
    std::string_view bytes(reinterpret_cast<const char*>(value.bytes.data()), value.bytes.size());
    // A title ends at its first zero byte, as a C string would.
    bytes = bytes.substr(0, bytes.find('\0'));
    if (value.format != 8) {
        return {};
    }
    if (value.type == XCB_ATOM_STRING) {
        return latin1ToUtf8(bytes);
    }
    if (value.type == atoms.compoundText) {
        return compoundTextToUtf8(bytes);
    }
    // UTF8_STRING, and any other 8-bit type a program chose: read as UTF-8, repaired.
    return repairUtf8(bytes);
}

}  // namespace

std::vector<xcb_window_t> topLevelWindows(const Connection& connection) {
    if (connection.windowManagerRunning()) {
        if (const auto list =
                connection.property(connection.root(), connection.atoms().netClientList, XCB_ATOM_WINDOW)) {
            const std::vector<std::uint32_t> items = list->items32();
            return {items.begin(), items.end()};
        }
    }
    return rootChildren(connection);
}

std::string windowTitle(const Connection& connection, xcb_window_t window) {
    // Another program sets the title: read no more than a title can sensibly hold. A megabyte of it
    // froze the list for seconds.
    constexpr std::uint32_t kMaxTitleBytes = 4096;
    const Atoms& atoms = connection.atoms();
    if (const auto netName = connection.property(window, atoms.netWmName, atoms.utf8String, kMaxTitleBytes)) {
        if (!netName->bytes.empty()) {
            return asText(*netName, atoms);
        }
    }
    if (const auto name =
            connection.property(window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, kMaxTitleBytes)) {
        return asText(*name, atoms);
    }
    return {};
}

}  // namespace skorva::x11
