// Timer interrupt model: the instrument's 2 kHz timer interrupt service routine.
//
// Models: the one-second count-down and the hand-off of each closed second's pulse count,
// the per-second count-downs of the backlight and the announcements, the pulse indicator,
// the alarm tone (1 kHz square wave in the first quarter of an alarmed second), the detector
// click, SoundReady, and the backlight output.
// Leaves out: every other timer and port of the microcontroller.
//
// Called 200 times per host tick by the host, after the firmware's step of the tick (the
// firmware is a fiber of the same thread); the firmware shares these variables.
#pragma once

#include <atomic>
#include <cstdint>

inline constexpr int TimerCallsPerTick = 200;   // 200 x 0.5 ms = one 100 ms host tick
inline constexpr uint32_t SecondReload = 1995;  // a second is 1996 calls

extern std::atomic<uint32_t> BacklightOn;  // the backlight output: 1 while the LCD is lit
extern std::atomic<uint32_t> TicksToSecond;
extern std::atomic<uint32_t> RunningCount;
extern std::atomic<uint32_t> SecondCounts;
extern std::atomic<uint8_t> SecondElapsed;
extern std::atomic<uint8_t> TickPulses;
extern std::atomic<uint8_t> PulseIndicator;
extern std::atomic<uint8_t> AnnounceCountdown;
extern std::atomic<uint8_t> BacklightSeconds;
extern std::atomic<uint8_t> ThresholdAlarm;
extern std::atomic<uint8_t> OverRange;
extern std::atomic<uint8_t> AlarmTone;
extern std::atomic<uint8_t> TonePhase;
extern std::atomic<uint8_t> ClickCountdown;

void TimerIsr();
// `calls` calls of TimerIsr in a row, with the same effect; stretches in which a call can do
// nothing but count down the second (no pulse waiting, no click or tone sounding, no second
// boundary) are counted down at once.
void TimerIsrRun(int calls);

// Program-start state.
void ResetTimerIsr();
