#include "firmware/firmware_state.h"

#include <cstring>

uint32_t RetainedSignature = 0;
uint8_t SavedSettings = 0;
std::atomic<uint8_t> SettingsFlags{0};
uint8_t BacklightTime = 0;
float DoseRateThreshold = 0;
float FluxThreshold = 0;
float DoseThreshold = 0;
float AccumulatedDose = 0;
std::atomic<float> CoefGF{0};
float CoefBF = 0;
float CoefAF = 0;
uint8_t ParamGN = 0;
uint8_t ParamSF = 0;
uint8_t ParamAE = 0;
uint8_t DeviceVariant = 0;
uint8_t MeasureMode = 0;

uint8_t PowerKeyEnabled = 0;
uint8_t ServiceLocked = 0;
uint8_t MenuActive = 0;
uint8_t MenuIndex = 0;
uint8_t ReducedVariant = 0;
std::atomic<uint8_t> BatteryOk{0};

uint8_t DisplayText[24];
float DisplayValue = 0;
uint8_t DigitStopCell = 0;

uint8_t HoldCount = 0;
uint8_t PressConsumed = 0;
uint8_t ShortPress = 0;
uint8_t LongPress = 0;
uint8_t EditorActive = 0;

float ActiveFactor = 0;
float AvgCountSum = 0;
float AvgSeconds = 0;
uint8_t CountWindow[40];
uint8_t WindowFill = 0;
uint8_t DoseAlarm = 0;
uint8_t SpeakRequest = 0;

uint8_t DoseResetArmed = 0;

void ResetFirmwareState() {
    RetainedSignature = 0;
    SavedSettings = 0;
    SettingsFlags.store(0);
    BacklightTime = 0;
    DoseRateThreshold = 0;
    FluxThreshold = 0;
    DoseThreshold = 0;
    AccumulatedDose = 0;
    CoefGF.store(0);
    CoefBF = 0;
    CoefAF = 0;
    ParamGN = 0;
    ParamSF = 0;
    ParamAE = 0;
    DeviceVariant = 0;
    MeasureMode = 0;
    PowerKeyEnabled = 0;
    ServiceLocked = 0;
    MenuActive = 0;
    MenuIndex = 0;
    ReducedVariant = 0;
    BatteryOk.store(0);
    std::memset(DisplayText, 0, sizeof DisplayText);
    DisplayValue = 0;
    DigitStopCell = 0;
    HoldCount = 0;
    PressConsumed = 0;
    ShortPress = 0;
    LongPress = 0;
    EditorActive = 0;
    ActiveFactor = 0;
    AvgCountSum = 0;
    AvgSeconds = 0;
    std::memset(CountWindow, 0, sizeof CountWindow);
    WindowFill = 0;
    DoseAlarm = 0;
    SpeakRequest = 0;
    DoseResetArmed = 0;
}
