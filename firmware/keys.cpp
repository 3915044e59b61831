#include "firmware/keys.h"

#include <cmath>

#include "firmware/display.h"
#include "firmware/firmware_state.h"
#include "host/host_tick.h"
#include "peripherals/lcd_controller.h"
#include "peripherals/timer_isr.h"

namespace {

// A press held on this many consecutive polls becomes a long press.
constexpr uint8_t LongPressPolls = 15;

// One editor layout on line 2, from cell 12.
struct EditLayout {
    uint8_t digits;     // digit positions
    uint8_t pointCell;  // 0 = no point
    uint8_t endCell;    // first cell after the layout
    uint32_t scale;
};

// Indexed by the editor formats of keys.h.
constexpr EditLayout EditLayouts[4] = {
    {3, 13, 16, 100},   // EditCoefficient: D.DD
    {5, 16, 18, 10},    // EditDoseRate: DDDD.D
    {6, 15, 19, 1000},  // EditDose: DDD.DDD
    {5, 0, 17, 1},      // EditFlux: DDDDD
};

void SetLcdAddress(uint8_t cell) {
    LcdWrite(static_cast<uint8_t>(LcdCmdLine2 + cell - 12), 0);
}

// Rewrites the screen with the cursor hidden, then shows it again at the edit position.
void RedrawUnderCursor(uint8_t editCell) {
    LcdWrite(LcdCmdCursorOff, 0);
    RefreshDisplay();
    SetLcdAddress(editCell);
    LcdWrite(LcdCmdCursorOn, 0);
}

}  // namespace

void PollKey() {
    ShortPress = 0;
    LongPress = 0;
    if (EditorActive != 0) {
        WaitMs(100);
    } else {
        RefreshDisplay();
    }
    if (ModeKeyLevel.load() != 0) {
        HoldCount = 0;
        if (PressConsumed != 0) return;
        PressConsumed = 1;
        if (BacklightSeconds.load() != 0) {
            ShortPress = 1;
            BacklightSeconds.store(BacklightTime);
        } else if (BacklightTime == 0) {
            ShortPress = 1;
        } else if ((SettingsFlags.load() & VoiceModeMask) == VoiceManual) {
            ShortPress = 1;
            BacklightSeconds.store(BacklightTime);
        } else {
            // The press only wakes the backlight.
            BacklightSeconds.store(BacklightTime);
        }
        return;
    }
    if (HoldCount == 255) {
        PressConsumed = 1;
        return;
    }
    ++HoldCount;
    if (HoldCount < LongPressPolls) {
        PressConsumed = 0;
        return;
    }
    PressConsumed = 1;
    if (HoldCount == LongPressPolls) {
        LongPress = 1;
        BacklightSeconds.store(BacklightTime);
    }
}

void EditNumber(float* value, uint8_t format) {
    const EditLayout& layout = EditLayouts[format <= 3 ? format : 0];
    uint32_t topDivisor = 1;
    for (uint8_t i = 1; i < layout.digits; ++i) topDivisor *= 10;

    for (uint8_t cell = 12; cell < 24; ++cell) DisplayText[cell] = 0x20;
    EditorActive = 1;

    // Truncated, never rounded; a value outside the layout's range is clipped into it.
    const long double scaled = std::trunc(static_cast<long double>(*value) * layout.scale);
    const uint32_t largest = topDivisor * 10 - 1;
    uint32_t n = 0;
    if (scaled > 0) n = scaled >= largest ? largest : static_cast<uint32_t>(scaled);

    uint32_t divisor = topDivisor;
    for (uint8_t cell = 12; cell < layout.endCell; ++cell) {
        if (cell == layout.pointCell) {
            DisplayText[cell] = 0x2E;
            continue;
        }
        DisplayText[cell] = static_cast<uint8_t>('0' + n / divisor);
        n %= divisor;
        divisor /= 10;
    }

    uint8_t battery = BatteryOk.load();
    RefreshDisplay();
    uint8_t editCell = 12;
    SetLcdAddress(editCell);
    LcdWrite(LcdCmdCursorOn, 0);

    uint8_t last = 0;
    while (last == 0) {
        PollKey();
        if (ShortPress != 0) {
            uint8_t digit = static_cast<uint8_t>(DisplayText[editCell] + 1);
            if (digit > '9') digit = '0';
            DisplayText[editCell] = digit;
            RedrawUnderCursor(editCell);
        }
        if (LongPress != 0) {
            ++editCell;
            if (editCell == layout.pointCell) ++editCell;
            if (editCell >= layout.endCell) last = 1;
            SetLcdAddress(editCell);
        }
        if (BatteryOk.load() != battery) {
            battery = BatteryOk.load();
            RedrawUnderCursor(editCell);
        }
    }

    n = 0;
    divisor = topDivisor;
    for (uint8_t cell = 12; cell < layout.endCell; ++cell) {
        if (cell == layout.pointCell) continue;
        n += static_cast<uint32_t>(DisplayText[cell] - '0') * divisor;
        divisor /= 10;
    }
    *value = static_cast<float>(static_cast<long double>(n) / layout.scale);

    LcdWrite(LcdCmdCursorOff, 0);
    EditorActive = 0;
}
