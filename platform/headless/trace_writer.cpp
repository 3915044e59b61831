#include "trace_writer.h"

#include "lcd_text.h"
#include "simulator.h"

namespace {

void JsonString(std::string& out, const std::string& s) {
    out.push_back('"');
    for (char c : s) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
}

}  // namespace

void TraceLine(uint64_t tick, std::string& line) {
    SimTickReport report;
    SimReport(&report);
    line.clear();
    line += "{\"tick\":";
    line += std::to_string(tick);
    line += ",\"on\":";
    line += report.on != 0 ? '1' : '0';
    line += ",\"lcd\":[";
    JsonString(line, LcdLineText(0));
    line.push_back(',');
    JsonString(line, LcdLineText(1));
    line += "],\"cells\":[";
    for (int i = 0; i < SimCellCount; ++i) {
        if (i) line.push_back(',');
        line += std::to_string(report.cells[i]);
    }
    line += "],\"cursor\":";
    if (report.cursor >= 0) {
        line += std::to_string(report.cursor);
    } else {
        line += "null";
    }
    line += ",\"backlight\":";
    line += report.backlight != 0 ? '1' : '0';
    line += ",\"pulses\":";
    line += std::to_string(report.pulses);
    line += ",\"played\":";
    line += std::to_string(report.played);
    line += "}\n";
}
