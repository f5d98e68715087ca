#include "recording/tick_schedule.h"

namespace skorva {

TickSchedule::TickSchedule(Clock::time_point start, std::chrono::milliseconds interval)
    : start_(start), interval_(interval) {}

TickSchedule::Clock::time_point TickSchedule::next(Clock::time_point now) {
    ++index_;
    const Clock::time_point latest = now - interval_ / 2;
    if (due() < latest) {
        // The first due time at or after `latest`, found by division: a long stall (a suspended machine)
        // is not walked through one interval at a time.
        const std::int64_t first = (latest - start_ + interval_ - Clock::duration(1)) / interval_;
        skipped_ += first - index_;
        index_ = first;
    }
    return due();
}

}  // namespace skorva
