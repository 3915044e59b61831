#include "peripherals/lcd_controller.h"

std::atomic<uint8_t> LcdCells[LcdCellCount];
std::atomic<int32_t> LcdPosition{0};
std::atomic<int32_t> LcdCursorOn{0};

namespace {

// Glyph codes for ROM codes 0x01-0x07 (user characters), 0xA0-0xC7 and 0xE0-0xE6.
constexpr uint8_t UserCharGlyphs[7] = {0x02, 0x01, 0x01, 0x5E, 0x01, 0x01, 0x7E};
constexpr uint8_t CyrillicA0Glyphs[40] = {
    0xC1, 0xC3, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCB,  // Б Г Ё Ж З И Й Л
    0xCF, 0xD3, 0xD4, 0xD7, 0xD8, 0xDA, 0xDB, 0xDD,  // П У Ф Ч Ш Ъ Ы Э
    0xDE, 0xDF, 0xE1, 0xE2, 0xE3, 0xE5, 0xE6, 0xE7,  // Ю Я б в г ё ж з
    0xE8, 0xE9, 0xEA, 0xEB, 0xEC, 0xED, 0xEF, 0xF2,  // и й к л м н п т
    0xF7, 0xF8, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF,  // ч ш ъ ы ь э ю я
};
constexpr uint8_t CyrillicE0Glyphs[7] = {0xC4, 0xD6, 0xD9, 0xE4,
                                         0xF4, 0xF6, 0xF9};  // Д Ц Щ д ф ц щ

}  // namespace

uint8_t RomToGlyph(uint8_t romCode) {
    if (romCode >= 0x01 && romCode <= 0x07) return UserCharGlyphs[romCode - 0x01];
    if (romCode >= 0xA0 && romCode <= 0xC7) return CyrillicA0Glyphs[romCode - 0xA0];
    if (romCode >= 0xE0 && romCode <= 0xE6) return CyrillicE0Glyphs[romCode - 0xE0];
    return romCode;
}

void LcdWrite(uint8_t value, uint8_t dataFlag) {
    if (dataFlag != 0) {
        const int32_t position = LcdPosition.load(std::memory_order_relaxed);
        if (position > 23) return;
        LcdCells[position].store(RomToGlyph(value), std::memory_order_relaxed);
        LcdPosition.store(position + 1, std::memory_order_relaxed);
        return;
    }
    if (value == LcdCmdCursorOff) {
        LcdCursorOn.store(0, std::memory_order_relaxed);
    } else if (value == LcdCmdCursorOn) {
        LcdCursorOn.store(1, std::memory_order_relaxed);
    } else if (value >= LcdCmdLine1 && value <= LcdCmdLine1 + 11) {
        LcdPosition.store(value - LcdCmdLine1, std::memory_order_relaxed);
    } else if (value >= LcdCmdLine2) {
        LcdPosition.store(value - LcdCmdLine2 + 12, std::memory_order_relaxed);
    }
    // Everything else (0x8C-0xBF, 0x00-0x0B, 0x0D, 0x0F-0x7F) is ignored.
}

void ResetLcdController() {
    for (auto& cell : LcdCells) cell.store(0);
    LcdPosition.store(0);
    LcdCursorOn.store(0);
}
