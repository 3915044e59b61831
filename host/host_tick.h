// The firmware thread and the host tick.
//
// The host thread owns the 100 ms tick: it releases the firmware's tick wait, draws the
// detector pulses, runs 200 calls of the 2 kHz timer interrupt, plays what the sound output
// recorded and cleans up after the firmware has switched itself off. The firmware runs on
// a thread of its own and meets the host only through the atomic variables below.
//
// Lock-step: after raising TickDone the host waits until the firmware has finished its step
// and is parked again (waiting for a tick, waiting for the mode key without a tick, or
// stopped) before it goes on, so the same inputs at the same ticks give the same run. The
// waits block instead of spinning, so an idle instrument costs no processor.
#pragma once

#include <atomic>
#include <cstdint>

// Host-side shared variables; all zero before the first power-on.
extern std::atomic<uint32_t> FirmwareRunning;  // 1 from PowerOn until the clean-up after a stop
extern std::atomic<uint8_t> FirmwareStopped;   // set by the firmware just before its thread ends
extern std::atomic<uint8_t> FirmwareThreadHandle;  // 1 while a thread handle is held
extern std::atomic<uint32_t> TickDone;             // raised by the tick, lowered by the tick wait
extern std::atomic<uint32_t> BacklightOn;          // LCD backlight lit
extern std::atomic<uint8_t> ModeKeyLevel;          // 0 while MODE is pressed, 1 when released
extern std::atomic<uint8_t> PowerKeyEvent;         // POWER clicked while the firmware runs

// Called once when the window is created: instrument off, mode key released, then PowerOn.
void StartupPowerOn();
// Gives the shared variables their power-on values and starts the firmware thread.
void PowerOn();
// One 100 ms host tick.
void HostTick();

// --- Lock-step between the threads ---------------------------------------------------------

enum : uint8_t {
    FirmwareBusy = 0,     // running its step
    ParkedInWait = 1,     // inside the tick wait, waiting for TickDone
    ParkedOnModeKey = 2,  // waiting for the mode key's release without taking ticks
    ParkedStopped = 3,    // thread ended (or never started)
};
extern std::atomic<uint8_t> FirmwarePark;
// Set when the firmware did not park within ParkTimeoutMs; stays set until ResetSimulator.
extern std::atomic<uint8_t> ParkTimeout;
inline constexpr int ParkTimeoutMs = 2000;

// True when the firmware has finished its step and waits (or has no thread).
bool FirmwareIsParked();
// Waits until the firmware is parked; false (and ParkTimeout set) after ParkTimeoutMs.
bool WaitFirmwareParked();

// Firmware side of the hand-off: one unit of the tick wait. Parks, blocks until TickDone is
// raised, lowers it and returns.
void AwaitTick();
// Firmware side: waits, parked and without taking ticks, until ModeKeyLevel is not 0.
void AwaitModeKeyRelease();
// Ends the firmware thread from any call depth; no firmware code runs on the way out.
[[noreturn]] void ExitFirmwareThread();

// The routine the firmware thread starts at. FirmwareMain unless a test installs another.
using FirmwareEntryFn = void (*)();
extern FirmwareEntryFn FirmwareEntry;

// Brings the whole simulated machine back to its program-start state: ends a firmware
// thread that still runs (without running firmware code past its current wait), then
// resets every variable of the host, the peripherals and the firmware.
void ResetSimulator();
