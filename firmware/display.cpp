#include "firmware/display.h"

#include "firmware/firmware_state.h"
#include "firmware/speech.h"
#include "host/firmware_thread.h"
#include "host/host_tick.h"
#include "peripherals/lcd_controller.h"

void RefreshDisplay() {
    for (auto& cell : DisplayText) {
        if (cell == 0) cell = LcdSpace;
    }
    DisplayText[11] = BatteryOk.load() != 0 ? LcdSpace : 0x01;
    LcdWrite(LcdCmdLine1, 0);
    for (int i = 0; i < 12; ++i) LcdWrite(DisplayText[i], 1);
    LcdWrite(LcdCmdLine2, 0);
    for (int i = 12; i < 24; ++i) LcdWrite(DisplayText[i], 1);
    WaitMs(100);
}

void WaitMs(int32_t milliseconds) {
    if (PowerKeyEnabled != 0 && PowerKeyEvent.load() != 0) PowerOffSequence();
    do {
        AwaitTick();
        milliseconds -= 100;
    } while (milliseconds > 0);
}

void PowerOffSequence() {
    SavedSettings = SettingsFlags.load();
    if ((SettingsFlags.load() & VoiceModeMask) != 0) PlayPrompt(MsgFarewell);
    FirmwareStopped.store(1);
    ExitFirmwareThread();
}
