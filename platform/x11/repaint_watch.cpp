#include "platform/x11/repaint_watch.h"

#include <poll.h>

#include <algorithm>

namespace skorva::x11 {

namespace {

// More drawing may follow the first (a picture drawn in bands): wait until it has been quiet this long,
constexpr auto kQuiet = std::chrono::milliseconds(30);
// but no longer than this after the first, for a picture that moves all the time.
constexpr auto kLongestSettle = std::chrono::milliseconds(100);

}  // namespace

EventWatch::EventWatch(const Connection& connection, xcb_window_t window, std::uint32_t mask)
    : connection_(connection), window_(window) {
    select(mask);
}

EventWatch::~EventWatch() {
    select(XCB_EVENT_MASK_NO_EVENT);
}

void EventWatch::select(std::uint32_t mask) {
    // Checked, so that a window that is gone gives a discarded error rather than a stray event.
    ErrorPtr error(xcb_request_check(
        connection_.get(),
        xcb_change_window_attributes_checked(connection_.get(), window_, XCB_CW_EVENT_MASK, &mask)));
}

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

RepaintWatch::RepaintWatch(const Connection& connection, xcb_window_t window, std::uint32_t otherEvents)
    : connection_(connection),
      window_(window),
      events_(connection, window, XCB_EVENT_MASK_EXPOSURE | otherEvents) {
    if (connection.hasDamage()) {
        // An event for every drawing: a level that waits to be re-armed would lose the owner's repaint when
        // it comes before the re-arming, and the watch lives for half a second at most.
        damage_ = xcb_generate_id(connection.get());
        xcb_damage_create(connection.get(), damage_, window, XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
    }
}

RepaintWatch::~RepaintWatch() {
    if (damage_ != 0) {
        // Checked: a window that is gone took its damage with it, and the error is of no interest.
        ErrorPtr error(
            xcb_request_check(connection_.get(), xcb_damage_destroy_checked(connection_.get(), damage_)));
    }
}

void RepaintWatch::note(const xcb_generic_event_t& event) {
    const std::uint8_t type = eventType(event);
    if (type == XCB_EXPOSE) {
        const auto& expose = reinterpret_cast<const xcb_expose_event_t&>(event);
        if (expose.window == window_) {
            exposed_ = true;
            unpainted_.add({expose.x, expose.y, expose.x + expose.width, expose.y + expose.height});
            // Without Damage the last Expose of a series is all there is to go by.
            if (damage_ == 0 && expose.count == 0) {
                painted_ = true;
                fresh_ = true;
            }
        }
    } else if (damage_ != 0 && type == connection_.damageNotifyType()) {
        const auto& notify = reinterpret_cast<const xcb_damage_notify_event_t&>(event);
        if (notify.damage == damage_) {
            // The server paints a window's background before it sends the Expose; only drawing that comes
            // after the Expose is the owner's answer to it.
            if (exposed_) {
                painted_ = true;
                fresh_ = true;
            }
            const xcb_rectangle_t& area = notify.area;
            unpainted_.subtract({area.x, area.y, area.x + area.width, area.y + area.height});
        }
    }
}

bool RepaintWatch::waitForRepaint(Clock::time_point deadline, bool exposureComing) {
    const auto noteEach = [this](const xcb_generic_event_t& event) {
        note(event);
        return false;
    };
    if (!exposureComing) {
        // What the change exposed has been sent by the time the server answers.
        connection_.roundTrip();
        waitFor(connection_, Clock::now(), noteEach);
        if (!exposed_) {
            return true;
        }
    }
    const auto repainted = [this](const xcb_generic_event_t& event) {
        note(event);
        return painted_;
    };
    if (!painted_ && !waitFor(connection_, deadline, repainted)) {
        return false;
    }
    const Clock::time_point settled = std::min(deadline, Clock::now() + kLongestSettle);
    const auto drawnAgain = [this](const xcb_generic_event_t& event) {
        fresh_ = false;
        note(event);
        return fresh_;
    };
    while (waitFor(connection_, std::min(settled, Clock::now() + kQuiet), drawnAgain)) {
    }
    return true;
}

RectRegion RepaintWatch::waitForRepaintOf(const Rect& area, Clock::time_point deadline) {
    if (damage_ == 0) {
        return waitForRepaint(deadline, false) ? RectRegion() : unpainted_.within(area);
    }
    // What the change exposed has been sent by the time the server answers.
    connection_.roundTrip();
    waitFor(connection_, Clock::now(), [this](const xcb_generic_event_t& event) {
        note(event);
        return false;
    });
    if (!unpainted_.within(area).empty()) {
        waitFor(connection_, deadline, [&](const xcb_generic_event_t& event) {
            note(event);
            return unpainted_.within(area).empty();
        });
    }
    return unpainted_.within(area);
}

}  // namespace skorva::x11
