#pragma once
// When the ticks of a recording driven by its own loop are due: on a grid of the interval counted from
// the start, so that the time each tick takes does not add up over a long recording. A tick that ends so
// late that the next due time lies more than half an interval behind gives up the due times it missed
// instead of making them up at once: frames taken back to back would show the viewer's movement unevenly.
// So every tick starts within half an interval of its due time, and two ticks are never closer than half
// an interval.

#include <chrono>
#include <cstdint>

namespace skorva {

class TickSchedule {
  public:
    using Clock = std::chrono::steady_clock;

    // The first tick is due at `start`. `interval` must be above zero.
    TickSchedule(Clock::time_point start, std::chrono::milliseconds interval);

    // When the next tick is due.
    Clock::time_point due() const { return start_ + interval_ * index_; }
    // After a tick that ended at `now`: moves on to the next due time that lies at most half an interval
    // before `now`, and returns it.
    Clock::time_point next(Clock::time_point now);
    // The due times given up so far.
    std::int64_t skipped() const { return skipped_; }

  private:
    Clock::time_point start_;
    Clock::duration interval_;
    std::int64_t index_ = 0;
    std::int64_t skipped_ = 0;
};

}  // namespace skorva
