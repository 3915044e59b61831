#include "peripherals/timer_isr.h"

#include "firmware/firmware_state.h"
#include "peripherals/sound_output.h"

std::atomic<uint32_t> BacklightOn{0};
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

namespace {

constexpr uint32_t ToneEnd = 1494;  // the tone sounds while TicksToSecond is above it
constexpr uint8_t ClickLength = 100;

// Most of the shared bytes need no ordering: the firmware reads each one on its own, and in
// lock-step the tick hand-off orders everything anyway. Relaxed accesses keep the 200 calls
// of a tick down to plain loads and stores.
constexpr auto Relaxed = std::memory_order_relaxed;

}  // namespace

void TimerIsr() {
    const uint32_t toSecond = TicksToSecond.load(Relaxed);

    // Tone, or the quiet start of the call.
    if (toSecond > ToneEnd && AlarmTone.load(Relaxed) != 0) {
        SoundReady.store(0, Relaxed);
        // A burst's first call, or the first sample of an emptied buffer: a power-on empties
        // it while a burst is under way, and the rest of that burst is played and counted.
        if (toSecond == SecondReload || SampleCount.load(Relaxed) == 0) ++SampleBufferLog.tones;
        const uint8_t phase = static_cast<uint8_t>(~TonePhase.load(Relaxed));
        TonePhase.store(phase, Relaxed);
        OutputLevel(phase == 0x00 ? 178 : 78);
    } else {
        if (toSecond <= ToneEnd) AlarmTone.store(0, Relaxed);
        if (ClickCountdown.load(Relaxed) == 0) SoundReady.store(1, Relaxed);
    }

    uint8_t click = ClickCountdown.load(Relaxed);
    if (click != 0) ClickCountdown.store(--click, Relaxed);

    // Second counting.
    const uint8_t pulses = TickPulses.load(Relaxed);
    uint8_t backlight = BacklightSeconds.load(Relaxed);
    if (toSecond != 0) {
        TicksToSecond.store(toSecond - 1, Relaxed);
        if (pulses != 0) RunningCount.store(RunningCount.load(Relaxed) + pulses, Relaxed);
    } else {
        // The pulses waiting at the boundary call count in neither second.
        if (backlight != 0) BacklightSeconds.store(--backlight, Relaxed);
        const uint8_t announce = AnnounceCountdown.load(Relaxed);
        if (announce != 0) AnnounceCountdown.store(announce - 1, Relaxed);
        // The closed second's count is stored before its flag, and the flag with release
        // ordering: a reader that finds SecondElapsed set (with an acquire or stronger load)
        // is sure to read this count in SecondCounts, never the previous second's.
        SecondCounts.store(RunningCount.load(Relaxed), Relaxed);
        RunningCount.store(0, Relaxed);
        SecondElapsed.store(1, std::memory_order_release);
        TicksToSecond.store(SecondReload, Relaxed);
        const bool alarm = OverRange.load(Relaxed) == 0 && ThresholdAlarm.load(Relaxed) != 0;
        AlarmTone.store(alarm ? 1 : 0, Relaxed);
    }

    if (pulses != 0) {
        TickPulses.store(0, Relaxed);
        PulseIndicator.store(3, Relaxed);
    }

    // The click; with clicks off nothing of it sounds, not even the end of one running.
    if ((SettingsFlags.load(Relaxed) & ClicksOnBit) != 0) {
        if (pulses != 0 && click == 0 && ThresholdAlarm.load(Relaxed) == 0 &&
            OverRange.load(Relaxed) == 0) {
            click = ClickLength;
            ++SampleBufferLog.clicks;
            ClickCountdown.store(click, Relaxed);
        }
        if (click == ClickLength) {
            SoundReady.store(0, Relaxed);
            OutputLevel(128);
        }
        if (click >= 2 && click <= 9) {
            OutputLevel((click & 1) != 0 ? 255 : 0);
        } else if (click == 1) {
            OutputLevel(128);
            SoundReady.store(1, Relaxed);
        }
    }

    BacklightOn.store(backlight, Relaxed);
}

void TimerIsrRun(int calls) {
    while (calls > 0) {
        const uint32_t toSecond = TicksToSecond.load(Relaxed);
        const bool quiet = toSecond != 0 && TickPulses.load(Relaxed) == 0 &&
                           ClickCountdown.load(Relaxed) == 0 &&
                           (toSecond <= ToneEnd || AlarmTone.load(Relaxed) == 0);
        if (!quiet) {
            TimerIsr();
            --calls;
            continue;
        }
        // Each of these calls: the tone stays off (and is switched off below its end), the
        // output is complete, the second counts down by one, the backlight output is set.
        const uint32_t stretch =
            toSecond < static_cast<uint32_t>(calls) ? toSecond : static_cast<uint32_t>(calls);
        if (toSecond <= ToneEnd) AlarmTone.store(0, Relaxed);
        SoundReady.store(1, Relaxed);
        TicksToSecond.store(toSecond - stretch, Relaxed);
        BacklightOn.store(BacklightSeconds.load(Relaxed), Relaxed);
        calls -= static_cast<int>(stretch);
    }
}

void ResetTimerIsr() {
    BacklightOn.store(0);
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
