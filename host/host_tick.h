// The host tick and the power-on.
//
// The host owns the 100 ms tick: it lets the firmware take its step (TickDone), draws the
// detector pulses, runs 200 calls of the 2 kHz timer interrupt, plays what the sound output
// recorded and cleans up after the firmware has switched itself off. The firmware's step runs
// at the start of the tick, inside HostTick, on the same thread (host/firmware_thread.h).
#pragma once

#include <atomic>
#include <cstdint>

// Host-side shared variables; all zero before the first power-on. They are atomics, as the
// variables the instrument's firmware shares with its interrupt; here the firmware is a fiber
// of the caller's thread and the two take turns, so every access is whole and in order.
extern std::atomic<uint32_t> FirmwareRunning;  // 1 from PowerOn until the clean-up after a stop
extern std::atomic<uint8_t> FirmwareStopped;   // set by the firmware when it switches off
extern std::atomic<uint32_t> TickDone;         // raised by the tick, lowered by the tick wait
extern std::atomic<uint8_t> ModeKeyLevel;      // 0 while MODE is pressed, 1 when released
extern std::atomic<uint8_t> PowerKeyEvent;     // POWER clicked while the firmware runs

// Called once when the window is created: instrument off, mode key released, then PowerOn.
void StartupPowerOn();
// Gives the shared variables their power-on values and starts the firmware's fiber, which
// runs to its first wait.
void PowerOn();
// One 100 ms host tick.
void HostTick();
