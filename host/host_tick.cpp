#include "host/host_tick.h"

#include <chrono>
#include <thread>

#include "firmware/firmware_state.h"
#include "firmware/main_program.h"
#include "host/shell.h"
#include "peripherals/lcd_controller.h"
#include "peripherals/lcd_renderer.h"
#include "peripherals/pulse_source.h"
#include "peripherals/sound_output.h"
#include "peripherals/speech_memory.h"
#include "peripherals/timer_isr.h"

std::atomic<uint32_t> FirmwareRunning{0};
std::atomic<uint8_t> FirmwareStopped{0};
std::atomic<uint8_t> FirmwareThreadHandle{0};
std::atomic<uint32_t> TickDone{0};
std::atomic<uint32_t> BacklightOn{0};
std::atomic<uint8_t> ModeKeyLevel{0};
std::atomic<uint8_t> PowerKeyEvent{0};

std::atomic<uint8_t> FirmwarePark{ParkedStopped};
std::atomic<uint8_t> ParkTimeout{0};
FirmwareEntryFn FirmwareEntry = FirmwareMain;

namespace {

// 1 while a firmware thread exists (from its creation until it has left its entry routine).
std::atomic<uint32_t> FirmwareThreadAlive{0};
// Asks the firmware thread to end at its next wait (used only by ResetSimulator).
std::atomic<uint8_t> FirmwareKill{0};

// The last firmware thread, kept until it is reaped. Never destroyed at exit: a thread that
// still runs when the process ends ends with it (a joinable std::thread would abort the exit).
std::thread* FirmwareThreadObject = nullptr;

struct FirmwareExit {};

inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// A hand-off normally completes within microseconds; spinning that long before blocking
// keeps a fast-forward run quick without costing an idle instrument any processor.
constexpr int SpinTurns = 1000;

void FirmwareThreadMain() {
    try {
        FirmwareEntry();
    } catch (const FirmwareExit&) {
    }
    FirmwarePark.store(ParkedStopped);
    FirmwareThreadAlive.store(0);
}

// Waits for the end of a firmware thread that has already left the firmware (it stopped
// itself, or ResetSimulator ended it): only its last stores and the thread's own exit remain,
// so no firmware code is waited for. A new thread must not start before: the old one's last
// stores would land on top of the new thread's, and a thread half way through its exit when
// the process ends can crash the exit (seen on Windows).
void ReapFirmwareThread() {
    if (FirmwareThreadObject == nullptr) return;
    FirmwareThreadObject->join();
    delete FirmwareThreadObject;
    FirmwareThreadObject = nullptr;
}

}  // namespace

bool FirmwareIsParked() {
    if (FirmwareThreadAlive.load() == 0) return true;
    // TickDone is read before the park state: the wait marks itself busy before it lowers
    // TickDone, so a lowered TickDone followed by "in wait" is a fresh park.
    const uint32_t tick = TickDone.load();
    switch (FirmwarePark.load()) {
        case ParkedStopped:
            return true;
        case ParkedInWait:
            return tick == 0;
        case ParkedOnModeKey:
            return ModeKeyLevel.load() == 0;
        default:
            return false;
    }
}

bool WaitFirmwareParked() {
    for (int i = 0; i < SpinTurns; ++i) {
        if (FirmwareIsParked()) return true;
        CpuRelax();
    }
    // A longer step (a spoken message, a busy machine): first hand the processor to the
    // firmware for about a millisecond, then poll at a relaxed pace up to the bound.
    const auto start = std::chrono::steady_clock::now();
    const auto yieldUntil = start + std::chrono::milliseconds(1);
    const auto deadline = start + std::chrono::milliseconds(ParkTimeoutMs);
    while (!FirmwareIsParked()) {
        const auto now = std::chrono::steady_clock::now();
        if (now > deadline) {
            ParkTimeout.store(1);
            return false;
        }
        // Where atomic waits are built on a condition variable (the Windows standard
        // library) a wake-up can be lost; repeating it frees a wait that missed it.
        TickDone.notify_all();
        ModeKeyLevel.notify_all();
        if (now < yieldUntil) {
            std::this_thread::yield();
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }
    return true;
}

void AwaitTick() {
    FirmwarePark.store(ParkedInWait);
    int turns = 0;
    while (TickDone.load() == 0) {
        if (++turns < SpinTurns) {
            CpuRelax();
        } else {
            TickDone.wait(0);
        }
    }
    if (FirmwareKill.load() != 0) throw FirmwareExit{};
    FirmwarePark.store(FirmwareBusy);
    TickDone.store(0);
}

void AwaitModeKeyRelease() {
    FirmwarePark.store(ParkedOnModeKey);
    while (ModeKeyLevel.load() == 0) ModeKeyLevel.wait(0);
    if (FirmwareKill.load() != 0) throw FirmwareExit{};
    FirmwarePark.store(FirmwareBusy);
}

void ExitFirmwareThread() {
    throw FirmwareExit{};
}

void StartupPowerOn() {
    FirmwareRunning.store(0);
    ModeKeyLevel.store(1);
    ModeKeyLevel.notify_all();
    PowerOn();
}

void PowerOn() {
    ReapFirmwareThread();
    TickDone.store(0);
    SampleRepeat.store(1);
    SampleCount.store(0);
    AudioLevel.store(0);
    SoundReady.store(0);
    PulsePhase = 3276;
    TickPulses.store(0);
    VoicePage = 0;
    VoiceOffset = 0;
    BacklightSeconds.store(0);
    BacklightOn.store(0);
    BatteryOk.store(1);
    PowerKeyEvent.store(0);
    FirmwareStopped.store(0);

    FirmwarePark.store(FirmwareBusy);
    FirmwareThreadAlive.store(1);
    FirmwareThreadObject = new std::thread(FirmwareThreadMain);
    FirmwareThreadHandle.store(1);
    FirmwareRunning.store(1);
    WaitFirmwareParked();
}

void HostTick() {
    if (FirmwareRunning.load() == 0) return;

    TickDone.store(1);
    TickDone.notify_one();
    WaitFirmwareParked();

    PulseSource();
    if (CheckSourcePulses != 0) {
        // A tick holds at most 255 pulses (TickPulses is a byte); the rest waits for the
        // next ticks instead of wrapping the byte.
        const uint32_t room = 255u - TickPulses.load();
        const uint32_t taken = CheckSourcePulses < room ? CheckSourcePulses : room;
        TickPulses.store(static_cast<uint8_t>(TickPulses.load() + taken));
        PulsesLastTick += taken;
        CheckSourcePulses -= taken;
    }
    SampleRepeat.store(4, std::memory_order_relaxed);
    for (int i = 0; i < 200; ++i) TimerIsr();
    SampleRepeat.store(1, std::memory_order_relaxed);
    if (SoundReady.load() == 1 && SampleCount.load() != 0) WavPlayer();

    if (FirmwareStopped.load() != 0) {
        for (auto& cell : LcdCells) cell.store(0x20, std::memory_order_relaxed);
        LcdCursorOn.store(0);
        BacklightOn.store(0);
        // The thread has switched itself off and runs no firmware code any more: releasing
        // its handle reaps it.
        ReapFirmwareThread();
        FirmwareThreadHandle.store(0);
        FirmwareRunning.store(0);
    }
}

void ResetSimulator() {
    if (FirmwareThreadAlive.load() != 0) {
        FirmwareKill.store(1);
        TickDone.store(1);
        TickDone.notify_all();
        ModeKeyLevel.store(1);
        ModeKeyLevel.notify_all();
        while (FirmwareThreadAlive.load() != 0) {
            // The thread leaves at its next wait; a stray tick keeps releasing it.
            TickDone.store(1);
            TickDone.notify_all();
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    }
    ReapFirmwareThread();
    FirmwareKill.store(0);
    FirmwarePark.store(ParkedStopped);
    ParkTimeout.store(0);

    FirmwareRunning.store(0);
    FirmwareStopped.store(0);
    FirmwareThreadHandle.store(0);
    TickDone.store(0);
    BacklightOn.store(0);
    ModeKeyLevel.store(0);
    PowerKeyEvent.store(0);
    FirmwareEntry = FirmwareMain;

    ResetLcdController();
    ResetSoundOutput();
    ResetTimerIsr();
    ResetPulseSource();
    ResetSpeechMemory();
    ResetFirmwareState();
    ResetLcdRenderer();
    ResetShell();
}
