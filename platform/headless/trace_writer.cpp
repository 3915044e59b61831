#include "trace_writer.h"

#include "lcd_text.h"
#include "simulator.h"
#include "voice_texts.h"

namespace {

void JsonString(std::string& out, const std::string& s) {
    out.push_back('"');
    static const char hex[] = "0123456789abcdef";
    for (char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20) {
            out += "\\u00";
            out.push_back(hex[b >> 4]);
            out.push_back(hex[b & 15]);
            continue;
        }
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
}

}  // namespace

void TraceLine(uint64_t tick, bool sound, std::string& line) {
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
    if (sound) {
        SimSoundReport played;
        SimPlayedSound(&played);
        line += ",\"clicks\":";
        line += std::to_string(played.clicks);
        line += ",\"tones\":";
        line += std::to_string(played.tones);
        line += ",\"speech\":[";
        for (uint32_t i = 0; i < played.messageCount && i < SimSoundMessagesMax; ++i) {
            if (i) line.push_back(',');
            line += "{\"n\":";
            line += std::to_string(played.messages[i]);
            line += ",\"text\":";
            JsonString(line, VoiceMessageText(played.messages[i]));
            line.push_back('}');
        }
        line.push_back(']');
    }
    line += "}\n";
}
