#pragma once
// The desktop as the capture needs it: the top-level windows with their titles, their state and place,
// and the pixels of the screen.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>

#include "core/picture.h"
#include "core/types.h"

namespace skorva {

class Desktop {
  public:
    virtual ~Desktop() = default;

    // Calls `visit` once for every top-level window, in the platform's order, before it returns; stops
    // early when `visit` returns false.
    virtual void enumWindows(const std::function<bool(WindowHandle)>& visit) = 0;
    // The window's title as UTF-8; empty for a window without a title or one that is gone.
    virtual std::string windowTitle(WindowHandle window) = 0;
    // True when the window is minimised.
    virtual bool isIconic(WindowHandle window) = 0;
    // Restores a minimised window and lets it repaint before returning (bounded by a short wait).
    virtual bool restoreWindow(WindowHandle window) = 0;
    // Places the window above all windows that are not kept on top; neither moves nor resizes it. Where
    // that lasts (a window manager's "always on top"), it lasts until endKeepOnTop().
    virtual bool keepOnTop(WindowHandle window) = 0;
    // The outer rectangle (frame and title bar included) in screen coordinates. False, and `rect` left
    // alone, when the handle names no window.
    virtual bool windowRect(WindowHandle window, Rect& rect) = 0;
    // Copies a rectangle of the screen. The picture always has the size asked for; parts outside the
    // screen are black; a zero or negative size gives an empty picture. Throws PlatformError when the
    // screen cannot be read at all.
    virtual Picture grabScreen(std::int32_t left, std::int32_t top, std::int32_t width,
                               std::int32_t height) = 0;

    // Copies a rectangle of the window, counted from the top-left corner of its outer rectangle, as the
    // window itself shows it: where the platform can read a window's own pixels, what covers it or lies
    // off the screen is not in the picture. Otherwise (and by default) the screen at that place. The
    // picture always has the size asked for; a zero or negative size gives an empty picture, a window
    // that is gone a null one. Throws PlatformError when neither can be read. Reading a window's own
    // pixels may set something up that lasts until endWindowGrabs(); what the window had not shown before
    // it must then paint anew. Until it has (the grab waits a little), the grab gives a null picture and
    // sets `notRepainted` (when given): no picture shows a part the window has not painted. The next
    // grab asks it again.
    virtual Picture grabWindow(WindowHandle window, std::int32_t left, std::int32_t top, std::int32_t width,
                               std::int32_t height, bool* notRepainted) {
        if (notRepainted != nullptr) {
            *notRepainted = false;
        }
        if (width <= 0 || height <= 0) {
            return grabScreen(0, 0, 0, 0);
        }
        Rect outer{0, 0, 0, 0};
        if (!windowRect(window, outer)) {
            return {};
        }
        const auto clamp = [](std::int64_t value) {
            return static_cast<std::int32_t>(std::clamp<std::int64_t>(
                value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
        };
        return grabScreen(clamp(std::int64_t{outer.left} + left), clamp(std::int64_t{outer.top} + top), width,
                          height);
    }
    // The windows grabbed are left as they were before the first grabWindow.
    virtual void endWindowGrabs() {}
    // The windows that keepOnTop() put above the others are put back as they were before: one that was
    // kept on top already stays so. The desktop does it too when it goes (the program ends).
    virtual void endKeepOnTop() {}
};

}  // namespace skorva
