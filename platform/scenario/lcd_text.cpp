#include "lcd_text.h"

#include "scenario.h"
#include "simulator.h"

void AppendCellText(std::string& out, uint8_t code) {
    out += SimCellText(code);
}

std::string LcdLineText(int line) {
    SimTickReport report;
    SimReport(&report);
    std::string text;
    for (int i = 0; i < 12; ++i) AppendCellText(text, report.cells[line * 12 + i]);
    return text;
}

std::string ScreenLineText(int line) {
    return CyrillicSpelling(LcdLineText(line));
}
