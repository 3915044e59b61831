// The 100 ms tick schedule of a front end that ticks in real time.
#pragma once

#include <cstdint>

inline constexpr int64_t TickPeriodUs = 100000;

// When the next tick is due, after the tick that was due at `due` has run and the time is
// now `now` (both in microseconds of a steady clock): one period after the last due time, so
// instrument time keeps pace with wall time; when the tick was held past one or more periods
// (a sound), the next tick is due at once (one tick follows, not several) and the schedule
// starts again from then.
int64_t NextTickDue(int64_t due, int64_t now);
