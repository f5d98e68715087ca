#include "platform/x11/x11_desktop.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/x11/screen_grab.h"
#include "platform/x11/window_grab.h"
#include "platform/x11/window_list.h"
#include "platform/x11/window_state.h"
#include "platform/x11/x11_connection.h"

namespace skorva {

namespace {

class X11Desktop final : public Desktop {
  public:
    explicit X11Desktop(x11::Connection connection)
        : connection_(std::move(connection)), grabber_(connection_), windowGrabber_(connection_, grabber_) {}
    ~X11Desktop() override {
        dropAhead();
        // Another program's window must not stay "always on top" because this one ran.
        endKeepOnTop();
    }
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    void enumWindows(const std::function<bool(WindowHandle)>& visit) override {
        dropAhead();
        for (const xcb_window_t window : x11::topLevelWindows(connection_)) {
            if (!visit(window)) {
                return;
            }
        }
    }

    std::string windowTitle(WindowHandle window) override {
        dropAhead();
        return x11::windowTitle(connection_, window);
    }

    // The capture tick asks, of one window and in this order, whether it is minimised, to keep it on
    // top and for its outer rectangle, and then grabs it. All these questions, the grab's own first ones
    // too, go to the server with the first, so that the tick waits for one round trip instead of four
    // before the read of the pixels; the answers are used only while nothing has been done to the window
    // in between. They are the server's as of the first question, a few microseconds earlier than asking
    // one by one: a window that closes meanwhile is found gone by the read or the next tick, as one that
    // closes just after the questions always was.
    bool isIconic(WindowHandle window) override {
        dropAhead();
        const x11::IconicRequest iconic = x11::requestIconic(connection_, window);
        if (window != XCB_WINDOW_NONE) {
            ahead_ = Ahead{.window = window,
                           .keepOnTop = x11::requestKeepOnTop(connection_, window),
                           .keepOnTopPending = true,
                           .outerRect = x11::requestOuterRect(connection_, window),
                           .outerRectPending = true,
                           .grab = windowGrabber_.ask(window)};
        }
        return x11::iconicReply(connection_, iconic);
    }

    bool restoreWindow(WindowHandle window) override {
        dropAhead();
        return x11::restoreWindow(connection_, window);
    }

    bool keepOnTop(WindowHandle window) override {
        x11::StackingChange change = x11::StackingChange::None;
        bool result = false;
        if (!ahead_ || ahead_->window != window || !ahead_->keepOnTopPending) {
            dropAhead();
            result = x11::keepOnTopReply(connection_, x11::requestKeepOnTop(connection_, window), &change);
        } else {
            ahead_->keepOnTopPending = false;
            result = x11::keepOnTopReply(connection_, ahead_->keepOnTop, &change);
            // A window that was just raised may have been placed anew: read its rectangle afresh.
            if (change != x11::StackingChange::None) {
                dropAhead();
            }
        }
        if (change == x11::StackingChange::AboveAdded &&
            std::find(putAbove_.begin(), putAbove_.end(), window) == putAbove_.end()) {
            putAbove_.push_back(window);
        }
        return result;
    }

    bool windowRect(WindowHandle window, Rect& rect) override {
        if (!ahead_ || ahead_->window != window || !ahead_->outerRectPending) {
            dropAhead();
            return x11::outerRect(connection_, window, rect);
        }
        if (ahead_->keepOnTopPending) {
            x11::discard(connection_, ahead_->keepOnTop);
            ahead_->keepOnTopPending = false;
        }
        // The grab's questions stay for the grab that follows.
        ahead_->outerRectPending = false;
        return x11::outerRectReply(connection_, ahead_->outerRect, rect);
    }

    Picture grabScreen(std::int32_t left, std::int32_t top, std::int32_t width,
                       std::int32_t height) override {
        dropAhead();
        return grabber_.grab(left, top, width, height);
    }

    Picture grabWindow(WindowHandle window, std::int32_t left, std::int32_t top, std::int32_t width,
                       std::int32_t height, bool* notRepainted) override {
        std::optional<x11::WindowGrabber::Questions> asked;
        if (ahead_ && ahead_->window == window) {
            asked = ahead_->grab;
            ahead_->grabPending = false;
        }
        dropAhead();
        return windowGrabber_.grab(window, left, top, width, height, notRepainted, asked);
    }

    void endWindowGrabs() override {
        dropAhead();
        windowGrabber_.end();
    }

    void endKeepOnTop() override {
        dropAhead();
        for (const WindowHandle window : putAbove_) {
            // A window that is gone, or kept above still, has nothing more to be done for it.
            (void)x11::dropKeepOnTop(connection_, window);
        }
        putAbove_.clear();
    }

  private:
    // The questions sent ahead for one window, each until it is answered.
    struct Ahead {
        WindowHandle window;
        x11::KeepOnTopRequest keepOnTop;
        bool keepOnTopPending;
        x11::OuterRectRequest outerRect;
        bool outerRectPending;
        x11::WindowGrabber::Questions grab;
        bool grabPending = true;
    };

    void dropAhead() {
        if (!ahead_) {
            return;
        }
        if (ahead_->keepOnTopPending) {
            x11::discard(connection_, ahead_->keepOnTop);
        }
        if (ahead_->outerRectPending) {
            x11::discard(connection_, ahead_->outerRect);
        }
        if (ahead_->grabPending) {
            windowGrabber_.discard(ahead_->grab);
        }
        ahead_.reset();
    }

    // Declared first: the grabbers end their redirect and detach their segments through the connection
    // before it closes.
    x11::Connection connection_;
    x11::ScreenGrabber grabber_;
    x11::WindowGrabber windowGrabber_;
    std::optional<Ahead> ahead_;
    // The windows keepOnTop() made "always on top", which they were not before.
    std::vector<WindowHandle> putAbove_;
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
