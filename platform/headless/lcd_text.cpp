#include "platform/headless/lcd_text.h"

#include "peripherals/lcd_controller.h"

namespace {

// Windows-1251 0xC0-0xFF: А-Я, а-я, in Unicode U+0410-U+044F.
void AppendCodePoint(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace

void AppendCellText(std::string& out, uint8_t code) {
    switch (code) {
        case 0x5E:
            out += "\u207B\u00B2";  // ⁻²
            return;
        case 0x7E:
            out += "\u207B\u00B9";  // ⁻¹
            return;
        case 0x01:
            out += "\u00B1";  // ±
            return;
        case 0x02:
            out += "\u25AF";  // ▯ battery outline
            return;
        case 0x1D:
            out += "\u2190";  // ←
            return;
        case 0x1E:
            out += "?";
            return;
        case 0x1F:
            out += "\u00D7";  // ×
            return;
        case 0xB5:
            out += "\u00B5";  // µ
            return;
        case 0xB9:
            out += "\u2116";  // №
            return;
        default:
            break;
    }
    if (code >= 0x20 && code <= 0x7D) {
        out.push_back(static_cast<char>(code));
    } else if (code >= 0xC0) {
        AppendCodePoint(out, 0x0410 + (code - 0xC0));
    } else {
        out.push_back(' ');
    }
}

std::string LcdLineText(int line) {
    std::string text;
    for (int i = 0; i < 12; ++i) {
        AppendCellText(text, LcdCells[line * 12 + i].load(std::memory_order_relaxed));
    }
    return text;
}
