// The firmware's shared variables and its LCD strings.
//
// Plain global variables, one per firmware quantity, as on the microcontroller. Those that
// the host also reads or writes (the timer interrupt model, the pulse source, the shell) are
// atomics; the rest belong to the firmware alone. The firmware is a fiber of the host's
// thread: the two take turns, never run at once.
//
// LCD strings are zero-terminated character-ROM codes: ASCII for digits, punctuation, Latin
// letters and the Cyrillic letters shaped like Latin ones; 0xA0-0xC7 and 0xE0-0xE6 for the
// other Cyrillic letters; 1-7 for the user-defined characters.
#pragma once

#include <atomic>
#include <cstdint>

// --- Retained settings: they outlive a power-off for as long as the program runs. ----------
inline constexpr uint32_t RetainedSignatureValid = 0x55AA;
extern uint32_t RetainedSignature;
extern uint8_t SavedSettings;
extern std::atomic<uint8_t> SettingsFlags;      // bits 0-1 voice mode, bit 2 clicks on
inline constexpr uint8_t VoiceModeMask = 0x03;  // 0 off, 1 periodic, 2 manual
inline constexpr uint8_t VoicePeriodic = 1;
inline constexpr uint8_t VoiceManual = 2;
inline constexpr uint8_t ClicksOnBit = 0x04;
// The factory's flux threshold; while it stands, the service menu opens at power-on.
inline constexpr float ServiceAccessValue = 27413.0f;
extern uint8_t BacklightTime;  // 0, 15, 30 or 60 s
extern float DoseRateThreshold;
extern float FluxThreshold;
extern float DoseThreshold;
extern float AccumulatedDose;
extern std::atomic<float> CoefGF;  // the pulse source rewrites it every tick
extern float CoefBF;
extern float CoefAF;
extern uint8_t ParamGN;
extern uint8_t ParamSF;
extern uint8_t ParamAE;
extern uint8_t DeviceVariant;
extern uint8_t MeasureMode;  // 1 gamma dose rate, 2 beta flux, 4 alpha flux, 8 dose

// --- Per power cycle ------------------------------------------------------------------------
extern uint8_t PowerKeyEnabled;
extern uint8_t ServiceLocked;
extern uint8_t MenuActive;
extern uint8_t MenuIndex;
extern uint8_t ReducedVariant;
extern std::atomic<uint8_t> BatteryOk;  // set by the host at power-on

// --- Screen and formatting -------------------------------------------------------------------
extern uint8_t DisplayText[24];  // cells 0-11 line 1, 12-23 line 2, ROM codes, 0 = empty
extern float DisplayValue;
extern uint8_t DigitStopCell;

// --- Keys and editor -------------------------------------------------------------------------
extern uint8_t HoldCount;
extern uint8_t PressConsumed;
extern uint8_t ShortPress;
extern uint8_t LongPress;
extern uint8_t EditorActive;

// --- Measurement -----------------------------------------------------------------------------
extern float ActiveFactor;
extern float AvgCountSum;
extern float AvgSeconds;
extern uint8_t CountWindow[40];
extern uint8_t WindowFill;
extern uint8_t DoseAlarm;
extern uint8_t SpeakRequest;

// --- Settings menu ---------------------------------------------------------------------------
extern uint8_t DoseResetArmed;

// Program-start state of every firmware variable (retained settings not yet initialised).
void ResetFirmwareState();

// --- LCD strings -----------------------------------------------------------------------------
// The power-on text: the model designation line, then the service telephone line.
inline constexpr uint8_t PowerOnText[] = "DRK-20  VT5P+74955550123";
inline constexpr uint8_t TitleGamma[] = {0xA1, 0x41, 0x4D, 0x4D, 0x41, 0};          // ГАММА
inline constexpr uint8_t TitleBeta[] = {0xA0, 0x45, 0x54, 0x41, 0};                 // БЕТА
inline constexpr uint8_t TitleAlpha[] = {0x41, 0xA7, 0xAD, 0xAA, 0x41, 0};          // АЛЪФА
inline constexpr uint8_t TitleDose[] = {0xE0, 0x4F, 0xA4, 0x41, 0};                 // ДОЗА
inline constexpr uint8_t UnitDoseRate[] = {0xBC, 0xBA, 0xA4, 0xB3, 0x2F, 0xC0, 0};  // мкЗв/ч
inline constexpr uint8_t UnitFlux[] = {0xBC, 0xB8, 0xBD, 0x07, 0x63, 0xBC, 0x04, 0};  // мин⁻¹см⁻²
inline constexpr uint8_t UnitDose[] = {0x20, 0xBC, 0xA4, 0xB3, 0};                    // " мЗв"
inline constexpr uint8_t CharPlusMinus = 0x05;
inline constexpr uint8_t CharStar = 0x2A;
inline constexpr uint8_t CharPercent = 0x25;

// Settings menu titles and words.
inline constexpr uint8_t MenuTitleExit[] = {0xA9, 0x43, 0x54, 0x41, 0x48, 0x4F, 0x42, 0x4B, 0xA5,
                                            0x20, 0x20, 0x20, 0x42, 0xAE, 0x58, 0x4F, 0xE0, 0};
// УСТАНОВКИ   ВЫХОД
inline constexpr uint8_t MenuTitleGF[] = {0x47, 0x46, 0};
inline constexpr uint8_t MenuTitleBF[] = {0x42, 0x46, 0};
inline constexpr uint8_t MenuTitleAF[] = {0x41, 0x46, 0};
inline constexpr uint8_t MenuTitleGN[] = {0x47, 0x4E, 0};
inline constexpr uint8_t MenuTitleSF[] = {0x53, 0x46, 0};
inline constexpr uint8_t MenuTitleAE[] = {0x41, 0x45, 0};
inline constexpr uint8_t MenuTitleDV[] = {0x44, 0x56, 0};
inline constexpr uint8_t MenuTitleDoseRateThreshold[] = {0xA8, 0x50, 0xA1, 0x20, 0xBC, 0xBA,
                                                         0xA4, 0xB3, 0x2F, 0xC0, 0};  // ПРГ мкЗв/ч
inline constexpr uint8_t MenuTitleFluxThreshold[] = {0xA8, 0x50, 0xA1, 0x20, 0xBC, 0xB8, 0xBD,
                                                     0x07, 0x63, 0xBC, 0x04, 0};  // ПРГ мин⁻¹см⁻²
inline constexpr uint8_t MenuTitleDoseThreshold[] = {0xA8, 0x50, 0xA1, 0x20,
                                                     0xBC, 0xA4, 0xB3, 0};  // ПРГ мЗв
inline constexpr uint8_t MenuTitleDoseReset[] = {0x43, 0xA0, 0x50, 0x4F, 0x43, 0x20,
                                                 0xE0, 0x4F, 0xA4, 0xAE, 0};  // СБРОС ДОЗЫ
inline constexpr uint8_t MenuTitleVoice[] = {0xA1, 0x4F, 0xA7, 0x4F, 0x43, 0};         // ГОЛОС
inline constexpr uint8_t MenuTitleClicks[] = {0xE2, 0x45, 0xA7, 0xAB, 0x4B, 0xA5, 0};  // ЩЕЛЧКИ
inline constexpr uint8_t MenuTitleBacklight[] = {0xA8, 0x4F, 0xE0, 0x43, 0x42,
                                                 0x45, 0x54, 0x4B, 0x41, 0};  // ПОДСВЕТКА
inline constexpr uint8_t WordOff[] = {0x42, 0xAE, 0x4B, 0xA7, 0};             // ВЫКЛ
inline constexpr uint8_t WordOn[] = {0x42, 0x4B, 0xA7, 0};                    // ВКЛ
inline constexpr uint8_t WordPeriodic[] = {0xA8, 0x45, 0x50, 0xA5, 0x4F, 0xE0, 0xA5,
                                           0xAB, 0x45, 0x43, 0x4B, 0xA5, 0};  // ПЕРИОДИЧЕСКИ
inline constexpr uint8_t WordManual[] = {0x50, 0xA9, 0xAB, 0x48, 0x4F, 0xA6, 0};  // РУЧНОЙ
inline constexpr uint8_t WordBacklight15[] = {0x31, 0x35, 0x20, 0x63, 0};         // 15 с
inline constexpr uint8_t WordBacklight30[] = {0x33, 0x30, 0x20, 0x63, 0};         // 30 с
inline constexpr uint8_t WordBacklight60[] = {0x36, 0x30, 0x20, 0x63, 0};         // 60 с

// The user-defined characters: eight rows each, low five bits, top row first.
inline constexpr uint8_t CustomCharRows[7][8] = {
    {0x0E, 0x0A, 0x1B, 0x11, 0x11, 0x11, 0x1F, 0x00},  // 1 battery outline
    {0x04, 0x04, 0x1F, 0x04, 0x04, 0x00, 0x1F, 0x00},  // 2 plus-minus
    {0x04, 0x04, 0x1F, 0x04, 0x04, 0x00, 0x1F, 0x00},  // 3 plus-minus
    {0x03, 0x01, 0x1B, 0x02, 0x03, 0x00, 0x00, 0x00},  // 4 superscript minus two
    {0x04, 0x04, 0x1F, 0x04, 0x04, 0x00, 0x1F, 0x00},  // 5 plus-minus
    {0x04, 0x04, 0x1F, 0x04, 0x04, 0x00, 0x1F, 0x00},  // 6 plus-minus
    {0x01, 0x03, 0x19, 0x01, 0x01, 0x00, 0x00, 0x00},  // 7 superscript minus one
};
