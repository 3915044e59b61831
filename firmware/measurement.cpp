// The measurement cycle: once per closed second the dose, the adaptive average, the reading
// with its statistical error, the screen, the alarm flags and the announcements; between
// seconds the key poll and the pulse star.
#include "firmware/measurement.h"

#include <cmath>
#include <cstring>

#include "firmware/display.h"
#include "firmware/firmware_state.h"
#include "firmware/formatting.h"
#include "firmware/keys.h"
#include "firmware/speech.h"
#include "peripherals/sound_output.h"
#include "peripherals/timer_isr.h"

namespace {

constexpr uint8_t WindowLength = 40;
constexpr uint32_t LargestWindowCount = 255;
constexpr double RateTestOffset = 2.5;
constexpr double BackgroundDivisor = 100.0;
constexpr double DoseDivisor = 3600000.0;
constexpr float GammaLimit = 9999.9f;  // 9999.900390625
constexpr float FluxLimit = 500.0f;    // per second, before the factor 60
constexpr double DoseLimit = 9999.9;
constexpr float FluxFactor = 60.0f;
constexpr double ErrorNumerator = 120.0;
constexpr float SmallestErrorSum = 4.0f;
constexpr uint8_t ErrorBelowSmallestSum = 99;
constexpr uint8_t LargestAlarmError = 50;
constexpr uint8_t AnnouncePeriod = 60;
constexpr uint8_t GammaDigitStop = 18;
constexpr uint8_t StarCell = 10;

uint8_t VoiceMode() {
    return SettingsFlags.load() & VoiceModeMask;
}

// Starts a full second afresh; pulses counted so far are dropped.
void RestartSecond() {
    TicksToSecond.store(SecondReload);
    SecondElapsed.store(0);
    PulseIndicator.store(0);
    RunningCount.store(0);
    TickPulses.store(0);
}

void ClearAverage() {
    WindowFill = 0;
    AvgSeconds = 0;
    AvgCountSum = 0;
}

// The statistical error of the average in percent.
uint8_t StatisticalError() {
    if (AvgCountSum < SmallestErrorSum) return ErrorBelowSmallestSum;
    const auto e =
        static_cast<uint8_t>(ErrorNumerator / std::sqrt(static_cast<double>(AvgCountSum)));
    return e == 0 ? 1 : e;
}

// Step A: the gamma dose of the second just closed.
void AddDose(uint32_t count) {
    DisplayValue = static_cast<float>(static_cast<double>(count) * CoefGF.load());
    LinearityCorrection();
    const bool belowLimit = static_cast<double>(AccumulatedDose) < DoseLimit;
    AccumulatedDose =
        static_cast<float>(static_cast<double>(AccumulatedDose) + DisplayValue / DoseDivisor);
    if (static_cast<double>(AccumulatedDose) >= DoseLimit) {
        // The dose holds at the limit: it never wraps, falls back or goes past it. The held
        // value (9999.900390625 as a float) itself compares at or above the limit, so only the
        // second that reaches it forces an announcement; a dose already held there would
        // otherwise announce again every second.
        if (belowLimit) {
            AnnounceCountdown.store(0);
            OverRange.store(1);
        }
        AccumulatedDose = static_cast<float>(DoseLimit);
    }
    DoseAlarm = AccumulatedDose >= DoseThreshold ? 1 : 0;
}

// Step B: the second joins the running average, which restarts when the rate has changed.
void ExtendAverage(uint32_t count) {
    AvgCountSum = static_cast<float>(static_cast<double>(AvgCountSum) + count);
    AvgSeconds = AvgSeconds + 1.0f;
    if (count > LargestWindowCount) {
        WindowFill = 0;
        RateChangeTest(1, count);
        return;
    }
    std::memmove(CountWindow + 1, CountWindow, WindowLength - 1);
    CountWindow[0] = static_cast<uint8_t>(count);
    if (WindowFill < WindowLength) ++WindowFill;
    uint32_t sum = 0;
    for (uint8_t seconds = 1; seconds <= WindowFill; ++seconds) {
        sum += CountWindow[seconds - 1];
        if (RateChangeTest(seconds, sum)) {
            WindowFill = seconds;
            break;
        }
    }
}

// Step C: the average turned into a reading, clipped at the mode's limit.
void ComputeReading() {
    const double reading =
        static_cast<double>(AvgCountSum) / AvgSeconds * ActiveFactor - ParamGN / BackgroundDivisor;
    DisplayValue = reading < 0 ? 0.0f : static_cast<float>(reading);
    LinearityCorrection();
    const float limit = (MeasureMode == 2 || MeasureMode == 4) ? FluxLimit : GammaLimit;
    if (DisplayValue >= limit) {
        DisplayValue = limit;
        OverRange.store(1);
    } else {
        OverRange.store(0);
    }
}

void WriteErrorField(uint8_t error) {
    const uint8_t tens = error / 10;
    DisplayText[6] = CharPlusMinus;
    DisplayText[7] = tens == 0 ? 0x20 : static_cast<uint8_t>('0' + tens);
    DisplayText[8] = static_cast<uint8_t>('0' + error % 10);
    DisplayText[9] = CharPercent;
}

// Step E: the screen of the mode and its threshold alarm.
void ShowReading(uint8_t error) {
    if (MeasureMode != 8) WriteErrorField(error);
    uint8_t cell;
    switch (MeasureMode) {
        case 1:
            ThresholdAlarm.store(
                DisplayValue >= DoseRateThreshold && error <= LargestAlarmError ? 1 : 0);
            DigitStopCell = GammaDigitStop;
            cell = NumberFormatter(2);
            if (cell <= 23) WriteTextAt(cell, UnitDoseRate);
            break;
        case 2:
        case 4:
            DisplayValue = DisplayValue * FluxFactor;
            if (MeasureMode == 2) {
                ThresholdAlarm.store(
                    DisplayValue >= FluxThreshold && error <= LargestAlarmError ? 1 : 0);
            } else {
                ThresholdAlarm.store(0);  // the alpha channel has no alarm
            }
            cell = NumberFormatter(0);
            if (cell <= 23) WriteTextAt(cell, UnitFlux);
            break;
        default:  // 8, the accumulated dose
            DisplayValue = AccumulatedDose;
            cell = NumberFormatter(3);
            if (cell <= 23) WriteTextAt(cell, UnitDose);
            break;
    }
}

bool AnnouncementDue() {
    const uint8_t voice = VoiceMode();
    return (voice == VoicePeriodic && AnnounceCountdown.load() == 0) ||
           (voice == VoiceManual && SpeakRequest != 0) || OverRange.load() != 0;
}

// Step G: speaks the reading or the warning, then starts a fresh second.
void Announce() {
    SpeakRequest = 0;
    if (OverRange.load() != 0) {
        PlayPrompt(MsgOverRange);
        ClearAverage();
    } else if (MeasureMode == 1) {
        BeginUtterance();
        PlayMessage(MsgReadingIntro);
        SpeakReading();
        EndUtterance();
        const double reading = DisplayValue;
        if (reading <= 0.6) {
            PlayPrompt(MsgLevelLow);
        } else if (reading <= 1.2) {
            PlayPrompt(MsgLevelRaised);
        } else {
            PlayPrompt(MsgLevelHigh);
        }
    } else if (MeasureMode == 8 && DoseAlarm != 0) {
        PlayPrompt(MsgDoseAlarm);
    }
    if (BatteryOk.load() == 0) PlayPrompt(MsgBatteryLow);
    AnnounceCountdown.store(AnnouncePeriod);
    RestartSecond();
}

// Steps A to G for the second whose count the interrupt has just handed over.
void PerSecondStep() {
    const uint32_t count = SecondCounts.load(std::memory_order_acquire);
    if (MeasureMode == 1 || MeasureMode == 8) AddDose(count);
    ExtendAverage(count);
    ComputeReading();
    const uint8_t error = StatisticalError();
    ShowReading(error);
    RefreshDisplay();
    if (AnnouncementDue()) Announce();
}

}  // namespace

bool RateChangeTest(uint8_t seconds, uint32_t sum) {
    const double mean = static_cast<double>(AvgCountSum) / AvgSeconds;
    const double deviation = std::fabs(seconds * mean - sum);
    const double allowance = ParamSF * (std::sqrt(static_cast<double>(sum)) + RateTestOffset);
    if (deviation > allowance) {
        AvgCountSum = static_cast<float>(sum);
        AvgSeconds = seconds;
        return true;
    }
    return false;
}

void LinearityCorrection() {
    constexpr float C2 = -0.0018f;
    constexpr float C3 = 9e-6f;
    constexpr float C4 = -9e-9f;
    constexpr float C5 = 4e-12f;
    const double v = DisplayValue;
    const double x = static_cast<float>(v * (82.5 + 2.5 * ParamAE) / 100.0);
    const double x2 = x * x;
    DisplayValue = static_cast<float>(v + C2 * x2 + C3 * x2 * x + C4 * x2 * x2 + C5 * x2 * x2 * x);
}

void MeasurementCycle() {
    ActiveFactor = CoefGF.load();
    switch (MeasureMode) {
        case 1:
            WriteTextLine(TitleGamma);
            break;
        case 2:
            ActiveFactor = CoefBF;
            WriteTextLine(TitleBeta);
            break;
        case 4:
            ActiveFactor = CoefAF;
            WriteTextLine(TitleAlpha);
            break;
        default:
            WriteTextLine(TitleDose);
            break;
    }
    RestartSecond();
    ClearAverage();
    AnnounceCountdown.store(AnnouncePeriod);
    SpeakRequest = 0;
    DisplayText[StarCell] = 0x20;

    for (;;) {
        PollKey();
        if (SecondElapsed.load(std::memory_order_acquire) != 0) {
            SecondElapsed.store(0);
            PerSecondStep();
        }
        if (ShortPress != 0) {
            if (VoiceMode() == VoiceManual) {
                SpeakRequest = 1;
            } else {
                break;
            }
        }
        if (LongPress != 0) break;
        const uint8_t star = PulseIndicator.load();
        if (star != 0) {
            PulseIndicator.store(star - 1);
            DisplayText[StarCell] = CharStar;
        } else {
            DisplayText[StarCell] = 0x20;
        }
    }
    AlarmTone.store(0);
    ThresholdAlarm.store(0);
    DoseAlarm = 0;
    OverRange.store(0);
}
