// The firmware's thread of control.
//
// PowerOn creates it as a fiber (host/fiber.h) that starts at FirmwareEntry; the host switches
// into it whenever one of its waits can go on (a raised TickDone, the released mode key) and
// it runs until it waits again. So the firmware's step happens inside the host's call, at one
// fixed point, and the host never has to wait for it. The firmware ends itself (the
// power-off) from any depth of calls with ExitFirmwareThread; nothing of it runs after that.
#pragma once

#include <atomic>
#include <cstdint>

// 1 while a firmware fiber is held, from its creation until the clean-up releases it.
extern std::atomic<uint8_t> FirmwareThreadHandle;

// Where the firmware is parked.
enum : uint8_t {
    FirmwareBusy = 0,     // running its step (or about to start)
    ParkedInWait = 1,     // in the tick wait, until TickDone is raised
    ParkedOnModeKey = 2,  // waiting for the mode key's release, without taking ticks
    ParkedStopped = 3,    // ended (or never started)
};
extern uint8_t FirmwarePark;

// The routine the firmware starts at: FirmwareMain unless a test installs another.
using FirmwareEntryFn = void (*)();
extern FirmwareEntryFn FirmwareEntry;

// Host: creates the firmware's fiber at FirmwareEntry (after releasing one that may be left)
// and runs it to its first wait.
void StartFirmwareThread();
// Host: lets the firmware run its step when its wait can go on; returns when it waits again
// or has ended. Does nothing when it cannot go on or there is no firmware.
void RunFirmware();
// Host: releases a firmware fiber that has ended or that will never run again.
void CloseFirmwareThread();

// Firmware: one unit of the tick wait; returns once it has consumed a raised TickDone.
void AwaitTick();
// Firmware: returns when the mode key is released (ModeKeyLevel not 0), taking no tick.
void AwaitModeKeyRelease();
// Firmware: ends the firmware's fiber from any call depth; no firmware code runs after it.
[[noreturn]] void ExitFirmwareThread();
