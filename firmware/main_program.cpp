#include "firmware/main_program.h"

#include "firmware/display.h"
#include "firmware/firmware_state.h"
#include "firmware/formatting.h"
#include "firmware/keys.h"
#include "firmware/measurement.h"
#include "firmware/settings_menu.h"
#include "firmware/speech.h"
#include "host/firmware_thread.h"
#include "host/host_tick.h"
#include "peripherals/lcd_controller.h"
#include "peripherals/timer_isr.h"

namespace {

// The instrument's strobe of the LCD's control lines during the initialisation. It is a
// port write of the real hardware and has no counterpart in the controller model.
void LcdInitStrobe() {}

// The non-volatile settings as they leave the factory.
void SetFactorySettings() {
    SettingsFlags.store(1);
    BacklightTime = 15;
    DoseRateThreshold = 9999.999f;
    FluxThreshold = ServiceAccessValue;
    DoseThreshold = 999.999f;
    AccumulatedDose = 0.0f;
    CoefGF.store(0.43f);
    CoefBF = 0.68f;
    CoefAF = 1.6f;
    ParamGN = 2;
    ParamSF = 4;
    ParamAE = 2;
    DeviceVariant = 0;
    MeasureMode = 0;
    RetainedSignature = RetainedSignatureValid;
}

void LcdInitialise() {
    LcdInitStrobe();
    WaitMs(20);
    LcdInitStrobe();
    WaitMs(20);
    LcdWrite(LcdCmdFunctionSet, 0);
    LcdWrite(LcdCmdFunctionSet, 0);
    LcdInitStrobe();
    WaitMs(20);
    LcdWrite(LcdCmdFunctionSet, 0);
    LcdWrite(LcdCmdFunctionSet, 0);
    LcdWrite(LcdCmdCursorOff, 0);
    LcdWrite(LcdCmdEntryMode, 0);
    LcdWrite(LcdCmdClear, 0);
}

// The power-on screen goes to the LCD as it stands: no refresh, so cell 11 keeps the
// designation's last letter.
void SendPowerOnScreen() {
    LcdWrite(LcdCmdLine1, 0);
    for (uint8_t i = 0; i < 12; ++i) LcdWrite(DisplayText[i], 1);
    LcdWrite(LcdCmdLine2, 0);
    for (uint8_t i = 12; i < 24; ++i) LcdWrite(DisplayText[i], 1);
}

void LoadCustomCharacters() {
    for (uint8_t code = 1; code <= 7; ++code) {
        LcdWrite(static_cast<uint8_t>(LcdCmdCgramAddress + 8 * code), 0);
        for (uint8_t row = 0; row < 8; ++row) LcdWrite(CustomCharRows[code - 1][row], 1);
    }
}

void PowerOnSequence() {
    SettingsFlags.store(0);
    TickPulses.store(0);
    PowerKeyEnabled = 0;
    WaitMs(500);
    LcdInitialise();

    EditorActive = 0;
    PressConsumed = 1;
    BacklightSeconds.store(0);
    ClickCountdown.store(0);
    AlarmTone.store(0);
    ThresholdAlarm.store(0);
    DoseAlarm = 0;
    OverRange.store(0);

    ServiceLocked = ModeKeyLevel.load() != 0 ? 1 : 0;

    // The settings byte to restore waits in MenuIndex until the greeting is over.
    if (RetainedSignature == RetainedSignatureValid) {
        MenuIndex = SavedSettings;
    } else {
        SetFactorySettings();
        MenuIndex = 1;
    }
    SettingsFlags.store(0);

    WriteTextLine(PowerOnText);
    WriteDesignation(0);
    SendPowerOnScreen();

    TicksToSecond.store(SecondReload);
    WaitMs(2000);

    LoadCustomCharacters();
    if ((MenuIndex & VoiceModeMask) != 0) PlayPrompt(MsgGreeting);
    PowerKeyEnabled = 1;

    if (ModeKeyLevel.load() == 0) AwaitModeKeyRelease();
    SettingsFlags.store(MenuIndex);
    if (FluxThreshold != ServiceAccessValue) ServiceLocked = 1;
    if (ReducedVariant == 1) {
        SettingsFlags.store(1);
        BacklightTime = 15;
    }
}

}  // namespace

void FirmwareMain() {
    PowerOnSequence();
    if (ServiceLocked == 0) SettingsMenu();
    for (;;) {
        MeasureMode = 1;
        for (;;) {
            MeasurementCycle();
            if (LongPress != 0) break;
            if (ShortPress != 0) {
                MeasureMode = static_cast<uint8_t>(MeasureMode * 2);
                if (MeasureMode == 16) MeasureMode = 1;
            }
        }
        SettingsMenu();
    }
}
