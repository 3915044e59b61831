#include "review.h"

#include <algorithm>
#include <cstring>

#include "interpreter.h"
#include "simulator.h"
#include "voice_texts.h"

namespace {

constexpr uint64_t ToneGapTicks = 20;  // tone bursts closer than this are one run
constexpr int32_t MaxWholePart = 999999;

// Plot geometry, SVG user units.
constexpr int PlotLeft = 64;
constexpr int PlotWidth = 640;
constexpr int PlotHeight = 150;
constexpr int PlotTop = 14;
constexpr int PlotBottom = 34;  // room under the plot for the time axis

bool Figure(const char* cell) {
    return (cell[0] >= '0' && cell[0] <= '9' && cell[1] == 0) || std::strcmp(cell, ".") == 0 ||
           std::strcmp(cell, "±") == 0 || std::strcmp(cell, "%") == 0 ||
           std::strcmp(cell, "*") == 0 || std::strcmp(cell, " ") == 0;
}

std::string LineText(const uint8_t* cells) {
    std::string text;
    for (int i = 0; i < 12; ++i) text += SimCellText(cells[i]);
    return text;
}

// The first line without its figures (the error, the pulse star): what stays while a screen
// is shown.
std::string ScreenKey(const uint8_t* cells) {
    std::string key;
    for (int i = 0; i < 12; ++i) {
        const char* cell = SimCellText(cells[i]);
        if (!Figure(cell)) key += cell;
    }
    return key;
}

// "NUMBER UNIT" on the second line: the number in thousandths and the unit, or false.
bool ParseReading(const uint8_t* cells, int32_t& value, std::string& unit) {
    int i = 0;
    while (i < 12 && std::strcmp(SimCellText(cells[i]), " ") == 0) ++i;
    int64_t whole = 0, fraction = 0;
    int digits = 0, places = -1;
    for (; i < 12; ++i) {
        const char* c = SimCellText(cells[i]);
        if (c[0] >= '0' && c[0] <= '9' && c[1] == 0) {
            ++digits;
            if (places < 0) {
                whole = whole * 10 + (c[0] - '0');
                if (whole > MaxWholePart) return false;
            } else if (places < 3) {
                fraction = fraction * 10 + (c[0] - '0');
                ++places;
            }
        } else if (c[0] == '.' && c[1] == 0 && places < 0) {
            places = 0;
        } else {
            break;
        }
    }
    if (digits == 0 || i >= 12 || std::strcmp(SimCellText(cells[i]), " ") != 0) return false;
    for (int p = places < 0 ? 0 : places; p < 3; ++p) fraction *= 10;
    unit.clear();
    for (++i; i < 12; ++i) unit += SimCellText(cells[i]);
    while (!unit.empty() && unit.back() == ' ') unit.pop_back();
    if (unit.empty() || (unit[0] >= '0' && unit[0] <= '9')) return false;
    value = static_cast<int32_t>(whole * 1000 + fraction);
    return true;
}

void AddEvent(ReviewSession& s, uint64_t tick, ReviewKind kind, uint32_t count, std::string text) {
    s.events.push_back(ReviewEvent{tick, tick, kind, count, std::move(text), {}});
}

const char* AlarmName(int bit) {
    return bit == SimAlarmThreshold   ? "threshold"
           : bit == SimAlarmOverRange ? "over range"
                                      : "dose";
}

std::string AlarmText(uint32_t bits) {
    std::string text;
    for (int bit = 1; bit <= SimAlarmDose; bit <<= 1) {
        if ((bits & static_cast<uint32_t>(bit)) == 0) continue;
        if (!text.empty()) text += ", ";
        text += AlarmName(bit);
    }
    return text;
}

// --- Text helpers ----------------------------------------------------------------------------

void Json(std::string& out, const std::string& s) {
    static const char hex[] = "0123456789abcdef";
    out.push_back('"');
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

void Html(std::string& out, const std::string& s) {
    for (char c : s) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out.push_back(c);
        }
    }
}

std::string Num(uint64_t n) {
    return std::to_string(n);
}

const char* KindName(ReviewKind kind) {
    switch (kind) {
        case ReviewPressed:
            return "press";
        case ReviewScreen:
            return "screen";
        case ReviewSaid:
            return "said";
        case ReviewTone:
            return "tone";
        case ReviewAlarm:
            return "alarm";
    }
    return "";
}

struct Summary {
    uint64_t presses = 0, screens = 0, said = 0, bursts = 0, alarmTicks = 0;
    uint64_t score = 0, most = 0;  // the met goals' points, all goals' points
};

Summary Summarize(const ReviewSession& s) {
    Summary m;
    for (const ReviewGoal& g : s.goals) {
        m.most += g.points;
        if (g.met) m.score += g.points;
    }
    for (const ReviewEvent& e : s.events) {
        if (e.kind == ReviewPressed) ++m.presses;
        if (e.kind == ReviewScreen) ++m.screens;
        if (e.kind == ReviewSaid) ++m.said;
        if (e.kind == ReviewTone) m.bursts += e.count;
        if (e.kind == ReviewAlarm) m.alarmTicks += e.until - e.tick + 1;
    }
    return m;
}

// "passed", "failed", or "" without a pass mark.
std::string Verdict(const ReviewSession& s, const Summary& m) {
    if (!s.passSet) return "";
    return m.score >= s.passMark ? "passed" : "failed";
}

// --- Plots -----------------------------------------------------------------------------------

// The smallest 1, 2 or 5 times a power of ten at or above `v` (thousandths, at least 1).
int64_t RoundTop(int64_t v) {
    for (int64_t scale = 1;; scale *= 10) {
        for (int64_t m : {1, 2, 5}) {
            if (m * scale >= v) return m * scale;
        }
    }
}

int DecimalsFor(int64_t top) {
    return top >= 10000 ? 0 : top >= 1000 ? 1 : top >= 100 ? 2 : 3;
}

int64_t X(uint64_t tick, uint64_t ticks) {
    return PlotLeft + static_cast<int64_t>(ticks == 0 ? 0 : tick * PlotWidth / ticks);
}

// The frame, the time axis and the alarm periods and presses of one plot.
void PlotFrame(std::string& out, const ReviewSession& s, int64_t top, int decimals,
               const std::string& label) {
    const int height = PlotTop + PlotHeight + PlotBottom;
    out += "<svg class=\"plot\" viewBox=\"0 0 " + Num(PlotLeft + PlotWidth + 36) + " " +
           Num(height) + "\" role=\"img\" aria-label=\"";
    Html(out, label);
    out += "\">\n";
    for (const ReviewEvent& e : s.events) {
        if (e.kind != ReviewAlarm) continue;
        const int64_t x0 = X(e.tick, s.ticks), x1 = X(e.until + 1, s.ticks);
        out += "<rect class=\"alarm\" x=\"" + Num(x0) + "\" y=\"" + Num(PlotTop) + "\" width=\"" +
               Num(std::max<int64_t>(1, x1 - x0)) + "\" height=\"" + Num(PlotHeight) +
               "\"><title>alarm: " + AlarmText(e.count) + "</title></rect>\n";
    }
    out += "<rect class=\"frame\" x=\"" + Num(PlotLeft) + "\" y=\"" + Num(PlotTop) + "\" width=\"" +
           Num(PlotWidth) + "\" height=\"" + Num(PlotHeight) + "\"/>\n";
    // Value axis: 0, half and the top.
    for (int k = 0; k <= 2; ++k) {
        const int64_t y = PlotTop + PlotHeight - PlotHeight * k / 2;
        out += "<text class=\"ylab\" x=\"" + Num(PlotLeft - 4) + "\" y=\"" + Num(y + 4) + "\">" +
               ReviewFixed(top * k / 2, decimals) + "</text>\n";
    }
    out += "<text class=\"unit\" x=\"" + Num(PlotLeft) + "\" y=\"10\">";
    Html(out, label);
    out += "</text>\n";
    // Time axis: five labels.
    for (uint64_t k = 0; k <= 4; ++k) {
        const uint64_t tick = s.ticks * k / 4;
        const int64_t x = X(tick, s.ticks);
        out += "<line class=\"grid\" x1=\"" + Num(x) + "\" y1=\"" + Num(PlotTop) + "\" x2=\"" +
               Num(x) + "\" y2=\"" + Num(PlotTop + PlotHeight) + "\"/>";
        out += "<text class=\"xlab\" x=\"" + Num(x) + "\" y=\"" + Num(PlotTop + PlotHeight + 14) +
               "\">" + TickTimeText(tick) + "</text>\n";
    }
    // Presses: marks under the plot.
    for (const ReviewEvent& e : s.events) {
        if (e.kind != ReviewPressed) continue;
        const int64_t x = X(e.tick, s.ticks);
        out += "<line class=\"press\" x1=\"" + Num(x) + "\" y1=\"" +
               Num(PlotTop + PlotHeight + 18) + "\" x2=\"" + Num(x) + "\" y2=\"" +
               Num(PlotTop + PlotHeight + 28) + "\"><title>" + TickTimeText(e.tick) + " ";
        Html(out, e.text);
        out += "</title></line>\n";
    }
}

// A polyline of the column maxima of `value(tick)` (negative: none), broken where it has none.
template <typename Value>
void PlotLine(std::string& out, const ReviewSession& s, int64_t top, Value value) {
    std::string path;
    bool drawing = false;
    for (int c = 0; c < PlotWidth && s.ticks != 0; ++c) {
        const uint64_t from = s.ticks * static_cast<uint64_t>(c) / PlotWidth;
        uint64_t to = s.ticks * static_cast<uint64_t>(c + 1) / PlotWidth;
        if (to <= from) to = from + 1;
        int64_t best = -1;
        for (uint64_t t = from; t < to && t < s.ticks; ++t) best = std::max(best, value(t));
        if (best < 0) {
            drawing = false;
            continue;
        }
        const int64_t y = PlotTop + PlotHeight - std::min<int64_t>(best, top) * PlotHeight / top;
        path += drawing ? " L" : " M";
        path += Num(PlotLeft + c) + " " + Num(y);
        drawing = true;
    }
    if (!path.empty()) out += "<path class=\"line\" d=\"" + path.substr(1) + "\"/>\n";
}

void Announcements(std::string& out, const ReviewSession& s) {
    int n = 0;
    for (const ReviewEvent& e : s.events) {
        if (e.kind != ReviewSaid) continue;
        const int64_t x = X(e.tick, s.ticks);
        out += "<g class=\"said\"><line x1=\"" + Num(x) + "\" y1=\"" + Num(PlotTop) + "\" x2=\"" +
               Num(x) + "\" y2=\"" + Num(PlotTop + 8) + "\"/><text x=\"" + Num(x) + "\" y=\"" +
               Num(PlotTop + 18) + "\">" + Num(++n) + "</text><title>";
        Html(out, e.text);
        out += "</title></g>\n";
    }
}

void Lcd(std::string& out, const std::string& lines) {
    out += "<pre class=\"lcd\">";
    Html(out, lines);
    out += "</pre>";
}

const char Style[] =
    "@page{size:A4;margin:14mm}\n"
    "body{font:14px/1.4 sans-serif;color:#111;margin:0 auto;max-width:760px;padding:8px}\n"
    "h1{font-size:22px;margin:0 0 4px}h2{font-size:18px;margin:18px 0 4px}"
    "h3{font-size:15px;margin:12px 0 4px}\n"
    "table{border-collapse:collapse;margin:4px 0}th,td{border:1px solid #bbb;padding:2px 6px;"
    "text-align:left;vertical-align:top}th{background:#eee}td.n{text-align:right}\n"
    "dl{display:grid;grid-template-columns:max-content auto;gap:0 12px;margin:4px 0}dt{"
    "color:#555}dd{margin:0}\n"
    "svg.plot{width:100%;height:auto;display:block}svg .frame{fill:none;stroke:#444}"
    "svg .grid{stroke:#ddd}svg .alarm{fill:#f3b0b0}svg .line{fill:none;stroke:#1f5fbf;"
    "stroke-width:1.5}svg .press{stroke:#0a7a2f;stroke-width:2}svg .said line{stroke:#a05a00;"
    "stroke-width:2}svg .said text{font-size:9px;fill:#a05a00;text-anchor:middle}"
    "svg text{font-size:11px;font-family:sans-serif}svg .ylab{text-anchor:end}"
    "svg .xlab{text-anchor:middle}\n"
    "pre.lcd{display:inline-block;margin:0;padding:2px 4px;background:#b5c7a0;color:#1c2a14;"
    "font:15px/1.15 monospace;border:1px solid #6d7d5e}\n"
    ".key span{display:inline-block;width:12px;height:10px;margin:0 4px 0 12px}"
    "section.session{break-before:page}section.session:first-of-type{break-before:auto}\n"
    "tr{break-inside:avoid}\n";

}  // namespace

// --- Recording -------------------------------------------------------------------------------

void ReviewBegin(ReviewSession& s, std::string name, bool seedSet, uint32_t seed) {
    s = ReviewSession{};
    s.name = std::move(name);
    s.seedSet = seedSet;
    s.seed = seed;
}

void ReviewPress(ReviewSession& s, const std::string& what) {
    AddEvent(s, s.ticks, ReviewPressed, 0, what);
}

void ReviewTick(ReviewSession& s) {
    const uint64_t tick = ++s.ticks;
    SimTickReport report;
    SimReport(&report);
    const bool on = report.on != 0;
    if (!s.seen || on != s.on || std::memcmp(report.cells, s.cells, sizeof s.cells) != 0) {
        const std::string key = on ? ScreenKey(report.cells) : std::string("off");
        if (!s.seen || key != s.screen) {
            AddEvent(s, tick, ReviewScreen, 0,
                     on ? LineText(report.cells) + "\n" + LineText(report.cells + 12) : "");
            s.screen = key;
        }
        std::memcpy(s.cells, report.cells, sizeof s.cells);
        s.on = on;
        s.seen = true;
        // A reading is a number and a unit on a measuring screen: one on which the pulse
        // star has shown (the menu's items also show numbers with units).
        bool star = false;
        for (int i = 0; i < 12; ++i)
            star = star || std::strcmp(SimCellText(report.cells[i]), "*") == 0;
        if (on && star &&
            std::find(s.measuring.begin(), s.measuring.end(), key) == s.measuring.end())
            s.measuring.push_back(key);
        std::string unit;
        int32_t value;
        if (on && std::find(s.measuring.begin(), s.measuring.end(), key) != s.measuring.end() &&
            ParseReading(report.cells + 12, value, unit)) {
            size_t u = 0;
            while (u < s.units.size() && s.units[u] != unit) ++u;
            if (u == s.units.size()) s.units.push_back(unit);
            s.lastReading = value;
            s.lastUnit = static_cast<uint8_t>(u);
        } else {
            s.lastReading = ReviewNoReading;
        }
    }
    s.reading.push_back(s.lastReading);
    s.unit.push_back(s.lastUnit);
    s.pulses.push_back(static_cast<uint16_t>(std::min<uint32_t>(report.pulses, 0xFFFF)));

    if (report.played != 0) {
        SimSoundReport sound;
        SimPlayedSound(&sound);
        s.clicks += sound.clicks;
        if (sound.messageCount != 0) {
            ReviewEvent e{tick, tick, ReviewSaid, sound.messageCount, {}, {}};
            for (uint32_t i = 0; i < sound.messageCount && i < SimSoundMessagesMax; ++i) {
                e.messages.push_back(sound.messages[i]);
                const std::string& words = VoiceMessageText(sound.messages[i]);
                if (!e.text.empty() && !words.empty()) e.text += ' ';
                e.text += words;
            }
            s.events.push_back(std::move(e));
        }
        if (sound.tones != 0) {
            if (s.toneEvent != 0 && tick - s.events[s.toneEvent - 1].until <= ToneGapTicks) {
                s.events[s.toneEvent - 1].until = tick;
                s.events[s.toneEvent - 1].count += sound.tones;
            } else {
                AddEvent(s, tick, ReviewTone, sound.tones, "");
                s.toneEvent = s.events.size();
            }
        }
    }

    const uint8_t alarms = SimAlarms();
    if (alarms != s.alarms) {
        if (alarms != 0) {
            AddEvent(s, tick, ReviewAlarm, alarms, "");
            s.alarmEvent = s.events.size();
        } else {
            s.alarmEvent = 0;
        }
        s.alarms = alarms;
    } else if (s.alarmEvent != 0) {
        s.events[s.alarmEvent - 1].until = tick;
    }
}

void ReviewEnd(ReviewSession& s) {
    s.alarmEvent = s.toneEvent = 0;
    std::stable_sort(s.events.begin(), s.events.end(),
                     [](const ReviewEvent& a, const ReviewEvent& b) { return a.tick < b.tick; });
}

std::string ReviewFixed(int64_t thousandths, int decimals) {
    std::string text;
    if (thousandths < 0) {
        text = "-";
        thousandths = -thousandths;
    }
    text += Num(static_cast<uint64_t>(thousandths / 1000));
    if (decimals > 0) {
        std::string fraction = Num(static_cast<uint64_t>(thousandths % 1000 + 1000)).substr(1);
        text += "." + fraction.substr(0, static_cast<size_t>(decimals));
    }
    return text;
}

// --- JSON ------------------------------------------------------------------------------------

std::string ReviewJson(const std::vector<ReviewSession>& sessions) {
    std::string out = "{\"program\":\"drk20vt5p\",\"version\":";
    Json(out, SimVersion());
    out += ",\"sessions\":[";
    for (size_t k = 0; k < sessions.size(); ++k) {
        const ReviewSession& s = sessions[k];
        const Summary m = Summarize(s);
        out += k ? ",\n" : "\n";
        out += "{\"name\":";
        Json(out, s.name);
        out += ",\"seed\":" + (s.seedSet ? Num(s.seed) : std::string("null"));
        out += ",\"ticks\":" + Num(s.ticks) + ",\"time\":\"" + TickTimeText(s.ticks) + "\"";
        out += ",\"score\":" + Num(m.score) + ",\"most\":" + Num(m.most) +
               ",\"pass\":" + (s.passSet ? Num(s.passMark) : std::string("null")) +
               ",\"result\":" + (s.passSet ? "\"" + Verdict(s, m) + "\"" : std::string("null"));
        out += ",\"goals\":[";
        for (size_t i = 0; i < s.goals.size(); ++i) {
            const ReviewGoal& g = s.goals[i];
            out += i ? ",\n" : "\n";
            out += "{\"line\":" + Num(static_cast<uint64_t>(g.line)) +
                   ",\"points\":" + Num(g.points) + ",\"text\":";
            Json(out, g.text);
            out += ",\"within\":";
            Json(out, g.within);
            out += std::string(",\"met\":") + (g.met ? "true" : "false");
            if (g.met)
                out += ",\"tick\":" + Num(g.tick) + ",\"time\":\"" + TickTimeText(g.tick) + "\"";
            out += "}";
        }
        out += "]";
        out += ",\"presses\":" + Num(m.presses) + ",\"announcements\":" + Num(m.said) +
               ",\"tone_bursts\":" + Num(m.bursts) + ",\"alarm_ticks\":" + Num(m.alarmTicks) +
               ",\"clicks\":" + Num(s.clicks);
        out += ",\"events\":[";
        for (size_t i = 0; i < s.events.size(); ++i) {
            const ReviewEvent& e = s.events[i];
            out += i ? ",\n" : "\n";
            out += "{\"tick\":" + Num(e.tick) + ",\"time\":\"" + TickTimeText(e.tick) +
                   "\",\"kind\":\"" + KindName(e.kind) + "\"";
            switch (e.kind) {
                case ReviewPressed:
                    out += ",\"step\":";
                    Json(out, e.text);
                    break;
                case ReviewScreen: {
                    const size_t nl = e.text.find('\n');
                    if (nl == std::string::npos) {
                        out += ",\"lcd\":null";
                    } else {
                        out += ",\"lcd\":[";
                        Json(out, e.text.substr(0, nl));
                        out += ",";
                        Json(out, e.text.substr(nl + 1));
                        out += "]";
                    }
                    break;
                }
                case ReviewSaid:
                    out += ",\"messages\":[";
                    for (size_t j = 0; j < e.messages.size(); ++j) {
                        if (j) out += ",";
                        out += Num(e.messages[j]);
                    }
                    out += "],\"count\":" + Num(e.count) + ",\"words\":";
                    Json(out, e.text);
                    break;
                case ReviewTone:
                    out += ",\"until\":" + Num(e.until) + ",\"bursts\":" + Num(e.count);
                    break;
                case ReviewAlarm:
                    out += ",\"until\":" + Num(e.until) + ",\"alarms\":";
                    Json(out, AlarmText(e.count));
                    break;
            }
            out += "}";
        }
        out += "]}";
    }
    out += "]}\n";
    return out;
}

// --- HTML ------------------------------------------------------------------------------------

// The class table: each session's length, score, result, goals and counts.
void ClassTable(std::string& out, const std::vector<ReviewSession>& sessions) {
    out +=
        "<h2>Class</h2>\n<table class=\"class\">\n<tr><th>Session</th><th>Length</th>"
        "<th>Score</th><th>Result</th><th>Goals met</th><th>Presses</th>"
        "<th>Announcements</th><th>Tone bursts</th><th>Alarm time</th></tr>\n";
    for (const ReviewSession& s : sessions) {
        const Summary m = Summarize(s);
        out += "<tr><td>";
        Html(out, s.name);
        std::string met;
        for (const ReviewGoal& g : s.goals) met += g.met ? "\u2713" : "\u2717";
        out += "</td><td class=\"n\">" + TickTimeText(s.ticks) + "</td><td class=\"n\">" +
               Num(m.score) + " / " + Num(m.most) + "</td><td>" + Verdict(s, m) + "</td><td>" +
               met + "</td><td class=\"n\">" + Num(m.presses) + "</td><td class=\"n\">" +
               Num(m.said) + "</td><td class=\"n\">" + Num(m.bursts) + "</td><td class=\"n\">" +
               TickTimeText(m.alarmTicks) + "</td></tr>\n";
    }
    out += "</table>\n";
}

// A session's heading, its figures and its goals table.
void SessionHead(std::string& out, const ReviewSession& s, const Summary& m) {
    out += "<section class=\"session\">\n<h2>";
    Html(out, s.name);
    out += "</h2>\n<dl><dt>Length</dt><dd>" + TickTimeText(s.ticks) + " (" + Num(s.ticks) +
           " ticks)</dd><dt>Seed</dt><dd>" +
           (s.seedSet ? Num(s.seed) : std::string("none (the unseeded background)")) +
           "</dd><dt>Presses</dt><dd>" + Num(m.presses) + "</dd><dt>Announcements</dt><dd>" +
           Num(m.said) + "</dd><dt>Tone bursts</dt><dd>" + Num(m.bursts) +
           "</dd><dt>Alarm time</dt><dd>" + TickTimeText(m.alarmTicks) +
           "</dd><dt>Detector clicks heard</dt><dd>" + Num(s.clicks) + "</dd></dl>\n";

    if (!s.goals.empty()) {
        out += "<h3>Goals: " + Num(m.score) + " of " + Num(m.most) + " points";
        if (s.passSet) out += ", " + Num(s.passMark) + " to pass: " + Verdict(s, m);
        out +=
            "</h3>\n<table class=\"goals\">\n<tr><th>Goal</th><th>Points</th><th>Within"
            "</th><th>Met</th><th>Display then</th></tr>\n";
        for (const ReviewGoal& g : s.goals) {
            out += "<tr><td>";
            Html(out, g.text);
            out += "</td><td class=\"n\">" + Num(g.points) + "</td><td>";
            Html(out, g.within);
            out += "</td><td>" +
                   (g.met ? "met at " + TickTimeText(g.tick) : std::string("not met")) +
                   "</td><td>";
            if (g.met) Lcd(out, g.lcd);
            out += "</td></tr>\n";
        }
        out += "</table>\n";
    }
}

// A session's plots: the reading as shown (one a unit) and the detector's pulses a second.
void SessionPlots(std::string& out, const ReviewSession& s) {
    out +=
        "<h3>The reading as shown</h3>\n<p class=\"key\"><span style=\"background:"
        "#1f5fbf\"></span>reading<span style=\"background:#f3b0b0\"></span>alarm"
        "<span style=\"background:#0a7a2f\"></span>press<span style=\"background:"
        "#a05a00\"></span>announcement (numbered as below)</p>\n";
    if (s.units.empty()) out += "<p>The display showed no reading.</p>\n";
    for (size_t u = 0; u < s.units.size(); ++u) {
        int64_t most = 1;
        for (uint64_t t = 0; t < s.ticks; ++t)
            if (s.reading[t] >= 0 && s.unit[t] == u) most = std::max<int64_t>(most, s.reading[t]);
        const int64_t top = RoundTop(most);
        PlotFrame(out, s, top, DecimalsFor(top), s.units[u]);
        PlotLine(out, s, top, [&](uint64_t t) -> int64_t {
            return s.reading[t] >= 0 && s.unit[t] == u ? s.reading[t] : -1;
        });
        Announcements(out, s);
        out += "</svg>\n";
    }
    // Detector pulses a second, each tick the sum of the ten ticks ending at it.
    {
        std::vector<int64_t> perSecond(s.ticks, 0);
        int64_t sum = 0, most = 1000;
        for (uint64_t t = 0; t < s.ticks; ++t) {
            sum += s.pulses[t];
            if (t >= 10) sum -= s.pulses[t - 10];
            perSecond[t] = sum * 1000;
            most = std::max(most, perSecond[t]);
        }
        const int64_t top = RoundTop(most);
        out += "<h3>Detector pulses a second</h3>\n";
        PlotFrame(out, s, top, 0, "pulses a second");
        PlotLine(out, s, top, [&](uint64_t t) { return perSecond[t]; });
        out += "</svg>\n";
    }
}

// A session's announcements, screens and presses.
void SessionTables(std::string& out, const ReviewSession& s, const Summary& m) {
    out += "<h3>Announcements</h3>\n";
    if (m.said == 0) {
        out += "<p>None.</p>\n";
    } else {
        out += "<table class=\"said\">\n<tr><th>#</th><th>Time</th><th>Words</th></tr>\n";
        int n = 0;
        for (const ReviewEvent& e : s.events) {
            if (e.kind != ReviewSaid) continue;
            out += "<tr><td class=\"n\">" + Num(++n) + "</td><td>" + TickTimeText(e.tick) +
                   "</td><td>";
            Html(out, e.text);
            out += "</td></tr>\n";
        }
        out += "</table>\n";
    }

    out +=
        "<h3>Screens and presses</h3>\n<table class=\"events\">\n<tr><th>Time</th>"
        "<th>What</th><th>Display</th></tr>\n";
    for (const ReviewEvent& e : s.events) {
        if (e.kind == ReviewSaid) continue;
        out += "<tr><td>" + TickTimeText(e.tick) + "</td><td>";
        switch (e.kind) {
            case ReviewPressed:
                out += "pressed: <code>";
                Html(out, e.text);
                out += "</code></td><td>";
                break;
            case ReviewScreen:
                out += e.text.empty() ? "switched off</td><td>" : "screen</td><td>";
                if (!e.text.empty()) Lcd(out, e.text);
                break;
            case ReviewTone:
                out += "alarm tone: " + Num(e.count) + " bursts to " + TickTimeText(e.until) +
                       "</td><td>";
                break;
            case ReviewAlarm:
                out += "alarm raised (" + AlarmText(e.count) + ") to " + TickTimeText(e.until) +
                       "</td><td>";
                break;
            case ReviewSaid:
                break;
        }
        out += "</td></tr>\n";
    }
    out += "</table>\n</section>\n";
}

std::string ReviewHtml(const std::vector<ReviewSession>& sessions) {
    std::string out =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">\n<title>";
    const std::string title = sessions.size() == 1
                                  ? "Review: " + sessions[0].name
                                  : "Class review: " + Num(sessions.size()) + " sessions";
    Html(out, title);
    out += "</title>\n<style>\n";
    out += Style;
    out += "</style>\n</head>\n<body>\n<h1>";
    Html(out, title);
    out += "</h1>\n<p>DRK-20VT5P simulator ";
    Html(out, SimVersion());
    out += ". Instrument time runs from the start of each session (minutes:seconds.tenths).</p>\n";

    if (sessions.size() > 1) ClassTable(out, sessions);
    for (const ReviewSession& s : sessions) {
        const Summary m = Summarize(s);
        SessionHead(out, s, m);
        SessionPlots(out, s);
        SessionTables(out, s, m);
    }
    out += "</body>\n</html>\n";
    return out;
}
