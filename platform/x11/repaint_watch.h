#pragma once
// Waiting on another program's window: the events we select on it, and the repaint that follows a change
// we make to it (a redirect, a map, a raise). A grab taken before the owner has answered its Expose shows
// black, or whatever covered the window, instead of the window's picture.

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <functional>

#include "core/rect_region.h"
#include "core/types.h"
#include "platform/x11/x11_connection.h"

namespace skorva::x11 {

using Clock = std::chrono::steady_clock;

// How long the repaint after a change is waited for at most: a slow client can take half a second.
inline constexpr int kRepaintWaitMs = 500;

// Selects events on another program's window for as long as it lives. Our selection is our own: the
// owner's event mask is not touched. One watch a window at a time: a second selection replaces the first.
class EventWatch {
  public:
    EventWatch(const Connection& connection, xcb_window_t window, std::uint32_t mask);
    ~EventWatch();
    EventWatch(const EventWatch&) = delete;
    EventWatch& operator=(const EventWatch&) = delete;

  private:
    void select(std::uint32_t mask);

    const Connection& connection_;
    xcb_window_t window_;
};

// Hands every event that arrives before `deadline` to `handle` until it returns true. False on timeout
// or a broken connection.
bool waitFor(const Connection& connection, Clock::time_point deadline,
             const std::function<bool(const xcb_generic_event_t&)>& handle);

std::uint8_t eventType(const xcb_generic_event_t& event);

// Watches a window, from before a change we make to it, until its owner has repainted what the change
// exposed: the Expose events the change causes, then the drawing that answers them (Damage), or, where
// the server has no Damage, a short quiet after the last Expose.
class RepaintWatch {
  public:
    // `otherEvents`: what else the caller waits for on this window (StructureNotify, PropertyChange).
    RepaintWatch(const Connection& connection, xcb_window_t window, std::uint32_t otherEvents = 0);
    ~RepaintWatch();
    RepaintWatch(const RepaintWatch&) = delete;
    RepaintWatch& operator=(const RepaintWatch&) = delete;

    // Every event read while the caller waits for something else must pass here, so that no Expose is
    // missed.
    void note(const xcb_generic_event_t& event);
    // Waits until the window has repainted what was exposed. `exposureComing`: the change exposes the
    // window later (a map that the window manager carries out), so wait for the Expose too; otherwise a
    // round trip tells whether the change exposed anything at all. True when nothing was exposed or the
    // repaint came; false when `deadline` passed first.
    bool waitForRepaint(Clock::time_point deadline, bool exposureComing);
    // Waits until the window has drawn anew every part of `area` (window coordinates) that was exposed
    // since the watch began, drawing that came before the Expose not counted. Returns what of `area` is
    // still not drawn when `deadline` passes: empty once all of it is. Without Damage the last Expose of
    // a series stands for the drawing, as for waitForRepaint.
    RectRegion waitForRepaintOf(const Rect& area, Clock::time_point deadline);

  private:
    const Connection& connection_;
    xcb_window_t window_;
    EventWatch events_;
    xcb_damage_damage_t damage_ = 0;
    bool exposed_ = false;
    bool painted_ = false;
    // Something was drawn (or, without Damage, exposed) since the last look.
    bool fresh_ = false;
    // What was exposed and has not been drawn since.
    RectRegion unpainted_;
};

}  // namespace skorva::x11
