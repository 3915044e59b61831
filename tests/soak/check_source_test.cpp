// Faults the random soak brought up, kept as regression tests.
#include "firmware/display.h"
#include "firmware/firmware_state.h"
#include "peripherals/pulse_source.h"
#include "peripherals/timer_isr.h"
#include "support/machine.h"

namespace {

void WaitingFirmware() {
    for (;;) WaitMs(100);
}

using CheckSourceTest = MachineTest;

// A tick holds at most 255 pulses (TickPulses is a byte). Check-source pulses beyond what a
// tick holds, whether from one large request or several added before the same tick, must be
// counted in the following ticks, never wrap the byte and vanish. Every pulse the trace
// reports (PulsesLastTick) reaches the running second's count.
TEST_F(CheckSourceTest, EveryCheckSourcePulseIsCounted) {
    const struct {
        uint32_t requests[3];  // added before the first tick, one after the other
        int ticks;             // ticks that deliver them all
    } cases[] = {
        {{1, 0, 0}, 1},     {{255, 0, 0}, 2},     {{254, 0, 0}, 2},
        {{200, 200, 0}, 2}, {{255, 255, 255}, 4}, {{1000, 0, 0}, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.requests[0] + c.requests[1] + c.requests[2]);
        ResetSimulator();
        Start(WaitingFirmware);
        TicksToSecond.store(1995);  // no second closes during the case
        uint64_t requested = 0, reported = 0;
        for (uint32_t r : c.requests) {
            CheckSourcePulses += r;
            requested += r;
        }
        const uint32_t before = RunningCount.load();
        for (int t = 0; t < c.ticks + 2; ++t) {
            Tick(1);
            reported += PulsesLastTick;
        }
        EXPECT_EQ(CheckSourcePulses, 0u) << "pulses left undelivered";
        EXPECT_EQ(RunningCount.load() - before, reported)
            << "pulses reported in the trace but never counted";
        // What the trace reports beyond the request is the detector's own background.
        EXPECT_GE(reported, requested);
        EXPECT_LE(reported - requested, 20u);
    }
}

}  // namespace
