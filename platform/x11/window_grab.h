#pragma once
// The recorded window's own pixels. Its top-level frame is redirected (Composite) on our connection for
// as long as it is grabbed, and each grab reads a freshly named pixmap of it: the window as it would show
// uncovered, even where it is covered or off the screen. What was covered or off the screen is in that
// pixmap only once the window has painted it anew: until then (after a short wait) the grab gives no
// picture and says so in the log. Without Composite, or when the pixmap cannot be named, the grab reads
// the screen at the window's place, and says so once in the log.

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>

#include "core/picture.h"
#include "core/rect_region.h"
#include "core/types.h"
#include "platform/x11/image_reader.h"
#include "platform/x11/screen_grab.h"
#include "platform/x11/window_state.h"
#include "platform/x11/x11_connection.h"

namespace skorva::x11 {

class WindowGrabber {
  public:
    WindowGrabber(const Connection& connection, ScreenGrabber& screen)
        : connection_(connection), screen_(screen) {}
    ~WindowGrabber() { end(); }
    WindowGrabber(const WindowGrabber&) = delete;
    WindowGrabber& operator=(const WindowGrabber&) = delete;

    // What a grab asks of the window before it reads: its place, its parent, and the geometry of the frame
    // found before. Asked ahead, they go to the server together with other questions of the moment.
    struct Questions {
        xcb_window_t window = XCB_WINDOW_NONE;
        OuterRectRequest outer;
        xcb_query_tree_cookie_t tree{};
        xcb_get_geometry_cookie_t frameGeometry{};
        // The geometry asked is that of the frame found before (otherwise the window's own).
        bool ofKnownFrame = false;
    };
    // Asks them for the next grab of `window` (not XCB_WINDOW_NONE); the grab, or discard(), takes the
    // answers.
    Questions ask(xcb_window_t window) const;
    void discard(const Questions& questions) const;

    // See Desktop::grabWindow. Throws PlatformError (numbers in x11_errors.h) when neither the window nor
    // the screen can be read. `asked`: the questions asked ahead for it, answered here in any case.
    Picture grab(xcb_window_t window, std::int32_t left, std::int32_t top, std::int32_t width,
                 std::int32_t height, bool* notRepainted, std::optional<Questions> asked = std::nullopt);
    // Removes the redirect; the next grab starts anew.
    void end();

  private:
    // The window grabbed and what was found about it.
    struct Redirected {
        xcb_window_t client = XCB_WINDOW_NONE;
        // The client's parent when its frame was found: the frame is found anew when this changes.
        xcb_window_t parent = XCB_WINDOW_NONE;
        xcb_window_t frame = XCB_WINDOW_NONE;
        bool redirected = false;
        // What the client has not yet painted since the redirect (client coordinates).
        RectRegion unpainted;
    };
    // The child of the root that holds `client` (the client itself without a window manager), or NONE
    // when the window is gone.
    xcb_window_t topLevelOf(xcb_window_t client, xcb_window_t parent) const;
    // Redirects the frame and waits until the client has painted what that exposed of `area` (client
    // coordinates); what it has not is left in `unpainted`. False when the server refuses.
    bool redirect(xcb_window_t client, xcb_window_t frame, const Rect& area, RectRegion& unpainted);
    // Asks the client to paint `unpainted` again (an Expose of it) and waits for that, as redirect does.
    void askForRepaint(xcb_window_t client, const Rect& area, RectRegion& unpainted);
    // The rectangle at (x, y) of the frame's pixmap, which is `pixmapWidth` x `pixmapHeight` of `depth`;
    // a null picture when it cannot be named (`named` false) or the server refused the rectangle.
    Picture readPixmap(xcb_window_t frame, std::uint8_t depth, std::int32_t pixmapWidth,
                       std::int32_t pixmapHeight, std::int32_t x, std::int32_t y, std::int32_t width,
                       std::int32_t height, bool& named);
    // Has the server put into the frame's pixmap what the frame's children have drawn into pixmaps of
    // their own (a child with backing store): it does so in its own time, or at once when the frame is
    // read with its children, as here on one pixel.
    void composeChildren(xcb_window_t frame, std::uint8_t depth);
    Picture fromScreen(const Rect& outer, std::int32_t left, std::int32_t top, std::int32_t width,
                       std::int32_t height);

    const Connection& connection_;
    ScreenGrabber& screen_;
    std::optional<Redirected> current_;
    // The log has been told that this recording reads the screen.
    bool toldScreen_ = false;
};

}  // namespace skorva::x11
