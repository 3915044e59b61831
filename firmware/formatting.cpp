#include "firmware/formatting.h"

#include <cmath>
#include <cstdint>

#include "firmware/firmware_state.h"

namespace {

constexpr uint8_t Space = 0x20;
constexpr uint8_t Point = 0x2E;
constexpr uint8_t DigitZero = 0x30;
constexpr uint8_t LastCell = 23;

// V x 1000 truncated toward zero. A float times 1000 is exact in double, so the digits are
// those of the stored value. A negative value counts as zero; a value whose thousandfold
// does not fit in 32 bits is clipped to the largest one that does.
int32_t ThousandfoldTruncated(float value) {
    const double scaled = std::trunc(static_cast<double>(value) * 1000.0);
    if (!(scaled > 0.0)) return 0;  // also NaN
    if (scaled >= 2147483647.0) return INT32_MAX;
    return static_cast<int32_t>(scaled);
}

}  // namespace

uint8_t NumberFormatter(uint8_t decimals) {
    if (decimals > 3) decimals = 3;
    int32_t c = ThousandfoldTruncated(DisplayValue);
    // Seven integer positions and `decimals` decimal positions; units has weight 10^decimals.
    int32_t weight = 1000000000;
    int32_t unitsWeight = 1000;
    for (uint8_t i = decimals; i < 3; ++i) {
        c /= 10;
        weight /= 10;
        unitsWeight /= 10;
    }
    uint8_t cell = 12;
    uint8_t started = 0;
    const uint8_t stop = DigitStopCell;
    for (;; weight /= 10) {
        const uint8_t digit = static_cast<uint8_t>(c / weight);
        c %= weight;
        if (weight == unitsWeight / 10) {  // never true without decimals
            // First decimal: a point in cell 17 would leave no room, so the number ends here.
            if (cell == 17) {
                DisplayText[17] = Space;
                DigitStopCell = 0;
                return 18;
            }
            DisplayText[cell++] = Point;
        }
        if (started != 0 || digit != 0 || weight == unitsWeight) {
            DisplayText[cell++] = static_cast<uint8_t>(DigitZero + digit);
            started = 1;
        }
        if (cell == stop || weight == 1) break;
    }
    DigitStopCell = 0;
    if (cell <= 17) DisplayText[cell++] = Space;
    return cell;
}

uint8_t WriteTextAt(uint8_t cell, const uint8_t* text) {
    for (; *text != 0; ++text) {
        if (cell > LastCell) return cell;
        DisplayText[cell++] = *text;
    }
    if (cell > LastCell) return cell;
    for (; cell <= LastCell; ++cell) DisplayText[cell] = Space;
    return 24;
}

void WriteTextLine(const uint8_t* text) {
    for (auto& cell : DisplayText) cell = Space;
    for (uint8_t cell = 0; cell <= LastCell && text[cell] != 0; ++cell)
        DisplayText[cell] = text[cell];
}

void WriteDesignation(uint8_t cell) {
    // Callers start at cell 0 or 12; anything that would fall past the screen is dropped.
    for (uint8_t i = 0; i < 12 && cell + i <= LastCell; ++i) DisplayText[cell + i] = PowerOnText[i];
    if (DeviceVariant == 2) {
        if (cell + 11 <= LastCell) DisplayText[cell + 11] = Space;
        ReducedVariant = 1;
    }
}
