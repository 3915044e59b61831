#include "firmware/settings_menu.h"

#include "firmware/firmware_state.h"
#include "firmware/formatting.h"
#include "firmware/keys.h"

namespace {

// Title, then a number on line 2 from cell 12.
void ShowNumberItem(const uint8_t* title, float value, uint8_t decimals) {
    WriteTextLine(title);
    DisplayValue = value;
    NumberFormatter(decimals);
}

// Title, then a single digit in cell 12.
void ShowDigitItem(const uint8_t* title, uint8_t digit) {
    WriteTextLine(title);
    DisplayText[12] = static_cast<uint8_t>('0' + digit);
}

// Title, then a word from cell 12 (none: the line stays blank).
void ShowWordItem(const uint8_t* title, const uint8_t* word) {
    WriteTextLine(title);
    if (word != nullptr) WriteTextAt(12, word);
}

const uint8_t* VoiceWord() {
    switch (SettingsFlags.load() & VoiceModeMask) {
        case 0:
            return WordOff;
        case 1:
            return ReducedVariant == 1 ? WordOn : WordPeriodic;
        case 2:
            return WordManual;
        default:
            return nullptr;
    }
}

const uint8_t* BacklightWord() {
    switch (BacklightTime) {
        case 0:
            return WordOff;
        case 15:
            return WordBacklight15;
        case 30:
            return WordBacklight30;
        case 60:
            return WordBacklight60;
        default:
            return nullptr;
    }
}

void ShowMenuItem() {
    switch (MenuIndex) {
        case 0:
            WriteTextLine(MenuTitleExit);
            break;
        case 1:
            ShowNumberItem(MenuTitleGF, CoefGF.load(), 2);
            break;
        case 2:
            ShowNumberItem(MenuTitleBF, CoefBF, 2);
            break;
        case 3:
            ShowNumberItem(MenuTitleAF, CoefAF, 2);
            break;
        case 4:
            ShowDigitItem(MenuTitleGN, ParamGN);
            WriteTextAt(14, UnitDoseRate);
            break;
        case 5:
            ShowDigitItem(MenuTitleSF, ParamSF);
            break;
        case 6:
            ShowDigitItem(MenuTitleAE, ParamAE);
            break;
        case 7:
            WriteTextLine(MenuTitleDV);
            WriteDesignation(12);
            break;
        case 8:
            ShowNumberItem(MenuTitleDoseRateThreshold, DoseRateThreshold, 2);
            break;
        case 9:
            ShowNumberItem(MenuTitleFluxThreshold, FluxThreshold, 0);
            break;
        case 10:
            ShowNumberItem(MenuTitleDoseThreshold, DoseThreshold, 3);
            break;
        case 11:
            WriteTextLine(MenuTitleDoseReset);
            DisplayValue = AccumulatedDose;
            WriteTextAt(NumberFormatter(3), UnitDose);
            break;
        case 12:
            ShowWordItem(MenuTitleVoice, VoiceWord());
            break;
        case 13:
            ShowWordItem(MenuTitleClicks,
                         (SettingsFlags.load() & ClicksOnBit) != 0 ? WordOn : WordOff);
            break;
        case 14:
            ShowWordItem(MenuTitleBacklight, BacklightWord());
            break;
        default:
            break;
    }
}

void NextMenuItem() {
    MenuIndex = static_cast<uint8_t>(MenuIndex + 1);
    if (ServiceLocked == 1 && MenuIndex >= 1 && MenuIndex <= 7) MenuIndex = 8;
    if (MenuIndex > (ReducedVariant == 1 ? 12 : 14)) MenuIndex = 0;
}

// CoefGF is a shared variable, an atomic; the editor changes a plain number, so it edits a
// copy that is stored back.
void EditCoefGF() {
    float value = CoefGF.load();
    EditNumber(&value, EditCoefficient);
    CoefGF.store(value);
}

void CycleVoiceMode() {
    const uint8_t flags = SettingsFlags.load();
    if (ReducedVariant == 1) {
        SettingsFlags.store(static_cast<uint8_t>(flags ^ 1));
        return;
    }
    const uint8_t mode = flags & VoiceModeMask;
    const uint8_t next = mode == 0 ? 1 : mode == 1 ? 2 : 0;
    SettingsFlags.store(static_cast<uint8_t>((flags & ~VoiceModeMask) | next));
}

void CycleBacklightTime() {
    if (BacklightTime == 0) {
        BacklightTime = 15;
    } else if (BacklightTime < 60) {
        BacklightTime = static_cast<uint8_t>(BacklightTime * 2);
    } else {
        BacklightTime = 0;
    }
}

void MenuItemAction() {
    switch (MenuIndex) {
        case 0:
            ServiceLocked = 1;
            MenuActive = 0;
            break;
        case 1:
            EditCoefGF();
            break;
        case 2:
            EditNumber(&CoefBF, EditCoefficient);
            break;
        case 3:
            EditNumber(&CoefAF, EditCoefficient);
            break;
        case 4:
            ParamGN = ParamGN <= 3 ? static_cast<uint8_t>(ParamGN + 1) : 0;
            break;
        case 5:
            ParamSF = ParamSF <= 8 ? static_cast<uint8_t>(ParamSF + 1) : 1;
            break;
        case 6:
            ParamAE = ParamAE <= 8 ? static_cast<uint8_t>(ParamAE + 1) : 0;
            break;
        case 7:
            DeviceVariant = static_cast<uint8_t>(DeviceVariant ^ 2);
            break;
        case 8:
            EditNumber(&DoseRateThreshold, EditDoseRate);
            break;
        case 9:
            EditNumber(&FluxThreshold, EditFlux);
            break;
        case 10:
            EditNumber(&DoseThreshold, EditDose);
            break;
        case 11:
            if (DoseResetArmed == 1) {
                AccumulatedDose = 0.0f;
                DoseResetArmed = 0;
            } else {
                DoseResetArmed = 1;
            }
            break;
        case 12:
            CycleVoiceMode();
            break;
        case 13:
            SettingsFlags.store(static_cast<uint8_t>(SettingsFlags.load() ^ ClicksOnBit));
            break;
        case 14:
            CycleBacklightTime();
            break;
        default:
            break;
    }
}

}  // namespace

void SettingsMenu() {
    MenuIndex = 0;
    MenuActive = 1;
    while (MenuActive == 1) {
        ShowMenuItem();
        do {
            PollKey();
        } while (ShortPress == 0 && LongPress == 0);
        if (ShortPress != 0) {
            NextMenuItem();
        } else {
            MenuItemAction();
        }
    }
}
