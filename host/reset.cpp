#include "host/reset.h"

#include "firmware/firmware_state.h"
#include "firmware/main_program.h"
#include "host/firmware_thread.h"
#include "host/host_tick.h"
#include "peripherals/field.h"
#include "peripherals/lcd_controller.h"
#include "peripherals/lcd_renderer.h"
#include "peripherals/pulse_source.h"
#include "peripherals/sound_output.h"
#include "peripherals/speech_memory.h"
#include "peripherals/timer_isr.h"

void ResetSimulator() {
    CloseFirmwareThread();
    FirmwareEntry = FirmwareMain;

    FirmwareRunning.store(0);
    FirmwareStopped.store(0);
    TickDone.store(0);
    ModeKeyLevel.store(0);
    PowerKeyEvent.store(0);

    ResetLcdController();
    ResetSoundOutput();
    ResetTimerIsr();
    ResetPulseSource();
    ResetField();
    ResetSpeechMemory();
    ResetFirmwareState();
    ResetLcdRenderer();
}
