#include "host/host_tick.h"

#include "firmware/firmware_state.h"
#include "host/firmware_thread.h"
#include "peripherals/lcd_controller.h"
#include "peripherals/pulse_source.h"
#include "peripherals/sound_output.h"
#include "peripherals/speech_memory.h"
#include "peripherals/timer_isr.h"

std::atomic<uint32_t> FirmwareRunning{0};
std::atomic<uint8_t> FirmwareStopped{0};
std::atomic<uint32_t> TickDone{0};
std::atomic<uint8_t> ModeKeyLevel{0};
std::atomic<uint8_t> PowerKeyEvent{0};

void StartupPowerOn() {
    FirmwareRunning.store(0);
    ModeKeyLevel.store(1);
    PowerOn();
}

void PowerOn() {
    TickDone.store(0);
    SampleRepeat.store(1);
    SampleCount.store(0);
    ClearSampleBufferLog();  // what the emptied buffer held goes with it
    AudioLevel.store(0);
    SoundReady.store(0);
    PulsePhase = PowerOnPulsePhase;
    TickPulses.store(0);
    VoicePage = 0;
    VoiceOffset = 0;
    BacklightSeconds.store(0);
    BacklightOn.store(0);
    BatteryOk.store(1);
    PowerKeyEvent.store(0);
    FirmwareStopped.store(0);

    FirmwareRunning.store(1);
    StartFirmwareThread();
}

void HostTick() {
    if (FirmwareRunning.load() == 0) return;

    // The firmware's step for this tick runs here, to its next wait.
    TickDone.store(1);
    RunFirmware();

    PulseSource();
    AddCheckSourcePulses();
    SampleRepeat.store(4, std::memory_order_relaxed);
    TimerIsrRun(TimerCallsPerTick);
    SampleRepeat.store(1, std::memory_order_relaxed);
    if (SoundReady.load() == 1 && SampleCount.load() != 0) WavPlayer();

    if (FirmwareStopped.load() != 0) {
        for (auto& cell : LcdCells) cell.store(LcdSpace, std::memory_order_relaxed);
        LcdCursorOn.store(0);
        BacklightOn.store(0);
        CheckSourcePulses = 0;  // what the detector had not yet counted goes with the power
        CloseFirmwareThread();
        FirmwareRunning.store(0);
    }
}
