#include "recording/tick_schedule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace skorva {
namespace {

using namespace std::chrono_literals;
using Clock = TickSchedule::Clock;

TEST(TickSchedule, TicksKeepToTheGridAndALateTickGivesUpWhatItMissedInsteadOfABurst) {
    const Clock::time_point start = Clock::time_point{} + 1h;
    struct Case {
        const char* what;
        // When the tick ended, after the due time it was given.
        Clock::duration endedAfterDue;
        // What follows: the due time (from the start) and the due times given up so far.
        Clock::duration due;
        std::int64_t skipped;
    };
    // Each case goes on from the one before, at an interval of 40 ms.
    const Case cases[] = {
        {"a quick tick: the next is an interval after the start", 1ms, 40ms, 0},
        {"another: the time the ticks take does not add up", 3ms, 80ms, 0},
        {"a tick that takes longer than the interval: the next at once", 59ms, 120ms, 0},
        {"the next due time half an interval behind when the tick ends: still taken", 60ms, 160ms, 0},
        {"a little more than half behind: given up for the one after", 60ms + 1ns, 240ms, 1},
        {"a stall of a second gives up what it missed in one step", 1s, 1240ms, 25},
        {"and keeps to the grid after it", 2ms, 1280ms, 25},
    };
    TickSchedule schedule(start, 40ms);
    EXPECT_EQ(schedule.due(), start);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Clock::time_point due = schedule.due();
        EXPECT_EQ(schedule.next(due + c.endedAfterDue), start + c.due);
        EXPECT_EQ(schedule.due(), start + c.due);
        EXPECT_EQ(schedule.skipped(), c.skipped);
    }
}

TEST(TickSchedule, EveryTickStartsWithinHalfAnIntervalOfItsTimeAndNoTwoAreCloserThanHalf) {
    // A loop as the command line runs it: each tick starts at its due time or, when the tick before ended
    // later, at once; then takes as long as the list says.
    const std::vector<Clock::duration> took = {1ms,   2ms, 32ms, 33ms,    34ms,   49ms, 50ms,
                                               51ms,  1ms, 17ms, 16ms,    66ms,   67ms, 99ms,
                                               500ms, 1ms, 3ms,  16500us, 16501us};
    for (const std::chrono::milliseconds interval : {33ms, 100ms, 1000ms}) {
        SCOPED_TRACE(std::to_string(interval.count()) + " ms");
        const Clock::time_point start = Clock::time_point{} + 1h;
        TickSchedule schedule(start, interval);
        const Clock::duration half = Clock::duration(interval) / 2;
        Clock::time_point ended = start;
        Clock::time_point lastStart = start - interval;
        std::int64_t ticks = 0;
        for (int round = 0; round < 3; ++round) {
            for (const Clock::duration duration : took) {
                const Clock::time_point due = schedule.due();
                const Clock::time_point started = std::max(due, ended);
                EXPECT_LE(started - due, half);
                EXPECT_GE(started - lastStart, half);
                // Always on the grid, and every due time either ticked or given up.
                EXPECT_EQ((due - start) % interval, Clock::duration::zero());
                EXPECT_EQ((due - start) / interval, ticks + schedule.skipped());
                ended = started + duration;
                lastStart = started;
                ++ticks;
                schedule.next(ended);
            }
        }
    }
}

}  // namespace
}  // namespace skorva
