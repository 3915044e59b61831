#include "peripherals/timer_isr.h"

#include "host/host_tick.h"

std::atomic<uint32_t> TicksToSecond{0};
std::atomic<uint32_t> RunningCount{0};
std::atomic<uint32_t> SecondCounts{0};
std::atomic<uint8_t> SecondElapsed{0};
std::atomic<uint8_t> TickPulses{0};
std::atomic<uint8_t> PulseIndicator{0};
std::atomic<uint8_t> AnnounceCountdown{0};
std::atomic<uint8_t> BacklightSeconds{0};
std::atomic<uint8_t> ThresholdAlarm{0};
std::atomic<uint8_t> OverRange{0};
std::atomic<uint8_t> AlarmTone{0};
std::atomic<uint8_t> TonePhase{0};
std::atomic<uint8_t> ClickCountdown{0};

// Placeholder until the interrupt model is built: only the backlight output.
void TimerIsr() { BacklightOn.store(BacklightSeconds.load()); }

void ResetTimerIsr() {
    TicksToSecond.store(0);
    RunningCount.store(0);
    SecondCounts.store(0);
    SecondElapsed.store(0);
    TickPulses.store(0);
    PulseIndicator.store(0);
    AnnounceCountdown.store(0);
    BacklightSeconds.store(0);
    ThresholdAlarm.store(0);
    OverRange.store(0);
    AlarmTone.store(0);
    TonePhase.store(0);
    ClickCountdown.store(0);
}
