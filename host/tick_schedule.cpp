#include "host/tick_schedule.h"

int64_t NextTickDue(int64_t due, int64_t now) {
    const int64_t next = due + TickPeriodUs;
    return next <= now ? now : next;
}
