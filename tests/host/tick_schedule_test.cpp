// The real-time tick schedule: absolute deadlines, and one tick after a long hold.
#include <gtest/gtest.h>

#include <vector>

#include "simulator.h"

namespace {

// Runs the schedule against a clock: each tick takes `cost[i]` microseconds; returns the
// times the ticks started.
std::vector<int64_t> TickStarts(const std::vector<int64_t>& cost) {
    std::vector<int64_t> starts;
    int64_t now = 0, due = 0;
    for (int64_t c : cost) {
        if (now < due) now = due;  // wait for the tick
        starts.push_back(now);
        now += c;
        due = SimNextTickDue(due, now);
    }
    return starts;
}

TEST(TickSchedule, KeepsAbsoluteDeadlinesAndRestartsAfterAHold) {
    // Ticks that cost a little never drift: every start is on the 100 ms grid.
    EXPECT_EQ(TickStarts({300, 99000, 5000, 0}), (std::vector<int64_t>{0, 100000, 200000, 300000}));
    // A tick held 350 ms by a sound: the next tick follows at once, just one, and the
    // schedule starts again from then.
    EXPECT_EQ(TickStarts({350000, 1000, 1000, 1000}),
              (std::vector<int64_t>{0, 350000, 450000, 550000}));
    // Held exactly one period: the next tick is due at once, not skipped.
    EXPECT_EQ(TickStarts({100000, 0, 0}), (std::vector<int64_t>{0, 100000, 200000}));
}

}  // namespace
