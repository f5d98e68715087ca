#pragma once
// The recorded window's own pixels. Its top-level frame is redirected (Composite) on our connection for
// as long as it is grabbed, and each grab reads a freshly named pixmap of it: the window as it would show
// uncovered, even where it is covered or off the screen. Without Composite, or when the pixmap cannot be
// named, the grab reads the screen at the window's place, and says so once in the log.

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>

#include "core/picture.h"
#include "core/types.h"
#include "platform/x11/image_reader.h"
#include "platform/x11/screen_grab.h"
#include "platform/x11/x11_connection.h"

namespace skorva::x11 {

class WindowGrabber {
  public:
    WindowGrabber(const Connection& connection, ScreenGrabber& screen)
        : connection_(connection), screen_(screen) {}
    ~WindowGrabber() { end(); }
    WindowGrabber(const WindowGrabber&) = delete;
    WindowGrabber& operator=(const WindowGrabber&) = delete;

    // See Desktop::grabWindow. Throws PlatformError (numbers in x11_errors.h) when neither the window nor
    // the screen can be read.
    Picture grab(xcb_window_t window, std::int32_t left, std::int32_t top, std::int32_t width,
                 std::int32_t height);
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
    };
    // The child of the root that holds `client` (the client itself without a window manager), or NONE
    // when the window is gone.
    xcb_window_t topLevelOf(xcb_window_t client, xcb_window_t parent) const;
    // Redirects the frame and waits for the client's repaint; false when the server refuses.
    bool redirect(xcb_window_t client, xcb_window_t frame);
    // The rectangle at (x, y) of the frame's pixmap, which is `pixmapWidth` x `pixmapHeight`; a null
    // picture when it cannot be named (`named` false) or the server refused the rectangle.
    Picture readPixmap(xcb_window_t frame, std::int32_t pixmapWidth, std::int32_t pixmapHeight,
                       std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, bool& named);
    Picture fromScreen(const Rect& outer, std::int32_t left, std::int32_t top, std::int32_t width,
                       std::int32_t height);

    const Connection& connection_;
    ScreenGrabber& screen_;
    std::optional<Redirected> current_;
    // The log has been told that this recording reads the screen.
    bool toldScreen_ = false;
};

}  // namespace skorva::x11
