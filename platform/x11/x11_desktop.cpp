#include "platform/x11/x11_desktop.h"

#include "platform/x11/screen_grab.h"
#include "platform/x11/window_list.h"
#include "platform/x11/window_state.h"
#include "platform/x11/x11_connection.h"

namespace skorva {

namespace {

class X11Desktop final : public Desktop {
  public:
    explicit X11Desktop(x11::Connection connection)
        : connection_(std::move(connection)), grabber_(connection_) {}

    void enumWindows(const std::function<bool(WindowHandle)>& visit) override {
        for (const xcb_window_t window : x11::topLevelWindows(connection_)) {
            if (!visit(window)) {
                return;
            }
        }
    }

    std::string windowTitle(WindowHandle window) override { return x11::windowTitle(connection_, window); }
    bool isIconic(WindowHandle window) override { return x11::isIconic(connection_, window); }
    bool restoreWindow(WindowHandle window) override { return x11::restoreWindow(connection_, window); }
    bool keepOnTop(WindowHandle window) override { return x11::keepOnTop(connection_, window); }
    bool windowRect(WindowHandle window, Rect& rect) override {
        return x11::outerRect(connection_, window, rect);
    }

    Picture grabScreen(std::int32_t left, std::int32_t top, std::int32_t width,
                       std::int32_t height) override {
        return grabber_.grab(left, top, width, height);
    }

  private:
    // Declared first: the grabber detaches its segment through the connection before it closes.
    x11::Connection connection_;
    x11::ScreenGrabber grabber_;
};

}  // namespace

std::unique_ptr<Desktop> makeX11Desktop(const char* display) {
    auto connection = x11::Connection::open(display);
    if (!connection) {
        return nullptr;
    }
    return std::make_unique<X11Desktop>(std::move(*connection));
}

}  // namespace skorva
