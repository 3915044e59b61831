#include "steps.h"

#include <cctype>

#include "simulator.h"
#include "voice_texts.h"

namespace {

constexpr uint64_t MaxTicks = StepMaxTicks;
constexpr uint64_t MaxSourceMilli = 2000000;  // source R: at most 2000 pulses a second
constexpr uint64_t MaxClicks = 1000000000ULL;
constexpr uint64_t MaxPoints = 1000000;

// An LCD line as written between the quotes: \" and \\ escape, \? is a question mark, ? any
// cell. False when it is not 12 cells.
bool ParseLcdLine(const std::string& raw, std::string* cells, std::string& error) {
    std::vector<std::string> parts;  // each cell, "" for any
    std::string plain;               // the run of literal text not yet split
    auto flush = [&]() {
        for (std::string& c : SplitCells(plain)) parts.push_back(LookAlikeText(c));
        plain.clear();
    };
    for (size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '\\' && i + 1 < raw.size() &&
            (raw[i + 1] == '"' || raw[i + 1] == '\\' || raw[i + 1] == '?')) {
            plain.push_back(raw[++i]);
        } else if (c == '?') {
            flush();
            parts.push_back(std::string());
        } else {
            plain.push_back(c);
        }
    }
    flush();
    if (parts.size() != static_cast<size_t>(StepLineCells)) {
        error = "\"" + PrintableText(raw) + "\" is " + std::to_string(parts.size()) +
                " cells, not " + std::to_string(StepLineCells);
        return false;
    }
    for (int k = 0; k < StepLineCells; ++k) cells[k] = parts[static_cast<size_t>(k)];
    return true;
}

// The two LCD lines in words `first` and `first` + 1; `what` starts the message.
bool ParseLcdLines(const StepWords& s, size_t first, Step& step, const char* what,
                   std::string& error) {
    for (int l = 0; l < 2; ++l) {
        const std::string& raw = s.raw[first + static_cast<size_t>(l)];
        if (!ParseLcdLine(raw, step.cells + l * StepLineCells, error)) {
            error = std::string(what) + ": " + error;
            return false;
        }
        step.text[l] = raw;
    }
    return true;
}

// A rate of pulses a second with at most three decimals, in thousandths.
bool ParseRate(const std::string& text, uint64_t& milli) {
    const size_t point = text.find('.');
    const std::string whole = text.substr(0, point);
    std::string frac = point == std::string::npos ? std::string() : text.substr(point + 1);
    if (point != std::string::npos && frac.empty()) return false;
    if (frac.size() > 3) return false;
    while (frac.size() < 3) frac.push_back('0');
    uint64_t w, f;
    if (!ParseCount(whole, MaxSourceMilli / 1000, w) || !ParseCount(frac, 999, f)) return false;
    milli = w * 1000 + f;
    return milli <= MaxSourceMilli;
}

std::string RateText(uint64_t milli) {
    std::string s = std::to_string(milli / 1000);
    if (milli % 1000 != 0) {
        std::string frac = std::to_string(1000 + milli % 1000).substr(1);
        while (frac.back() == '0') frac.pop_back();
        s += "." + frac;
    }
    return s;
}

std::string Quoted(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    return out + "\"";
}

// Words from..n-1 joined by single blanks.
std::string Joined(const StepWords& s, size_t from) {
    std::string out;
    for (size_t k = from; k < s.n; ++k) out += (k > from ? " " : "") + s.w[k];
    return out;
}

bool Failed(std::string& error, const char* message) {
    error = message;
    return false;
}

// tick N
bool ParseTick(const StepWords& s, Step& step, std::string& error) {
    if (s.n != 2 || !ParseCount(s.w[1], MaxTicks, step.count))
        return Failed(error, "expected: tick N");
    step.kind = StepKind::Tick;
    return true;
}
std::string FormatTick(const Step& s) {
    return "tick " + std::to_string(s.count);
}

// wait D
bool ParseWait(const StepWords& s, Step& step, std::string& error) {
    if (s.n < 2 || s.n > 3 || !ParseDuration(Joined(s, 1), step.count))
        return Failed(error, "expected: wait D with unit ms, s or min (e.g. wait 2.5s)");
    step.kind = StepKind::Tick;
    return true;
}

// wait until lcd "LINE1" "LINE2" within D
bool ParseWaitUntil(const StepWords& s, Step& step, std::string& error) {
    if (s.n < 7 || s.n > 8 || !s.Is(2, "lcd") || !s.quoted[3] || !s.quoted[4] ||
        !s.Is(5, "within")) {
        return Failed(error, "expected: wait until lcd \"LINE1\" \"LINE2\" within D");
    }
    step.duration = Joined(s, 6);
    if (!ParseDuration(step.duration, step.count))
        return Failed(error, "expected: within D with unit ms, s or min (e.g. within 5s)");
    if (!ParseLcdLines(s, 3, step, "wait until lcd", error)) return false;
    step.kind = StepKind::WaitUntilLcd;
    return true;
}
std::string FormatWaitUntil(const Step& s) {
    return "wait until lcd \"" + s.text[0] + "\" \"" + s.text[1] + "\" within " + s.duration;
}

// mode down | mode up
bool ParseMode(const StepWords& s, Step& step, std::string& error) {
    if (s.n == 2 && s.w[1] == "down") {
        step.kind = StepKind::ModeDown;
    } else if (s.n == 2 && s.w[1] == "up") {
        step.kind = StepKind::ModeUp;
    } else {
        return Failed(error, "expected: mode down | mode up");
    }
    return true;
}
std::string FormatMode(const Step& s) {
    return s.kind == StepKind::ModeDown ? "mode down" : "mode up";
}

// press mode [N]
bool ParsePress(const StepWords& s, Step& step, std::string& error) {
    if (s.n < 2 || s.n > 3 || s.w[1] != "mode") return Failed(error, "expected: press mode [N]");
    step.count = 1;
    if (s.n == 3 && !ParseCount(s.w[2], MaxTicks, step.count))
        return Failed(error, "expected: press mode [N], N a whole number of ticks");
    step.kind = StepKind::PressMode;
    return true;
}
std::string FormatPress(const Step& s) {
    return "press mode " + std::to_string(s.count);
}

// power | power down
bool ParsePower(const StepWords& s, Step& step, std::string& error) {
    if (s.n == 1) {
        step.kind = StepKind::Power;
    } else if (s.n == 2 && s.w[1] == "down") {
        step.kind = StepKind::PowerDown;
    } else {
        return Failed(error, "expected: power | power down");
    }
    return true;
}
std::string FormatPower(const Step& s) {
    return s.kind == StepKind::Power ? "power" : "power down";
}

// click X Y [left|right]; written without its button (either acts the same)
bool ParseClick(const StepWords& s, Step& step, std::string& error) {
    uint64_t x, y;
    if (s.n < 3 || s.n > 4 || !ParseCount(s.w[1], 65535, x) || !ParseCount(s.w[2], 65535, y) ||
        (s.n == 4 && s.w[3] != "left" && s.w[3] != "right")) {
        return Failed(error, "expected: click X Y [left|right]");
    }
    step.kind = StepKind::Click;
    step.x = static_cast<uint32_t>(x);
    step.y = static_cast<uint32_t>(y);
    return true;
}
std::string FormatClick(const Step& s) {
    return "click " + std::to_string(s.x) + " " + std::to_string(s.y);
}

// pulses N
bool ParsePulses(const StepWords& s, Step& step, std::string& error) {
    if (s.n != 2 || !ParseCount(s.w[1], 255, step.count) || step.count == 0)
        return Failed(error, "expected: pulses N with N from 1 to 255");
    step.kind = StepKind::Pulses;
    return true;
}
std::string FormatPulses(const Step& s) {
    return "pulses " + std::to_string(s.count);
}

// source R
bool ParseSource(const StepWords& s, Step& step, std::string& error) {
    if (s.n != 2 || s.quoted[1] || !ParseRate(s.w[1], step.count))
        return Failed(error, "expected: source R, R pulses a second from 0 to 2000 (e.g. 12.5)");
    step.kind = StepKind::Source;
    return true;
}
std::string FormatSource(const Step& s) {
    return "source " + RateText(s.count);
}

// screenshot FILE
bool ParseScreenshot(const StepWords& s, Step& step, std::string& error) {
    if (s.n != 2 || s.w[1].empty()) return Failed(error, "expected: screenshot FILE");
    step.kind = StepKind::Screenshot;
    step.text[0] = s.w[1];
    return true;
}
std::string FormatScreenshot(const Step& s) {
    return "screenshot " + Quoted(s.text[0]);
}

// expect lcd "LINE1" "LINE2"
bool ParseExpectLcd(const StepWords& s, Step& step, std::string& error) {
    if (s.n != 4 || !s.quoted[2] || !s.quoted[3])
        return Failed(error, "expected: expect lcd \"LINE1\" \"LINE2\"");
    if (!ParseLcdLines(s, 2, step, "expect lcd", error)) return false;
    step.kind = StepKind::ExpectLcd;
    return true;
}
std::string FormatExpectLcd(const Step& s) {
    return "expect lcd \"" + s.text[0] + "\" \"" + s.text[1] + "\"";
}

// expect said "WORDS" | expect said #N ...: the words in quotes, among which "*" stands for
// any words and "#N" for the words of message N (SaidMatches, voice_texts.h); or only such
// tokens, unquoted.
bool ParseExpectSaid(const StepWords& s, Step& step, std::string& error) {
    const char* usage = "expected: expect said \"WORDS\" | expect said #N ...";
    if (s.n < 3) return Failed(error, usage);
    const bool quoted = s.n == 3 && s.quoted[2];
    std::string words;
    for (size_t k = 2; k < s.n && !quoted; ++k) {
        const bool token =
            s.w[k] == "*" || (s.w[k].size() > 1 && s.w[k][0] == '#' &&
                              s.w[k].find_first_not_of("0123456789", 1) == std::string::npos);
        if (s.quoted[k] || !token) return Failed(error, usage);
        words += (k == 2 ? "" : " ") + s.w[k];
    }
    if (quoted) words = s.w[2];
    // A message number must be one of the speech memory's.
    size_t pos = 0;
    while (pos < words.size()) {
        size_t end = words.find_first_of(" \t", pos);
        if (end == std::string::npos) end = words.size();
        const std::string token = words.substr(pos, end - pos);
        pos = end + 1;
        if (token.size() < 2 || token[0] != '#' ||
            token.find_first_not_of("0123456789", 1) != std::string::npos)
            continue;
        uint64_t n;
        if (!ParseCount(token.substr(1), VoiceTextCount - 1, n)) {
            error = "expect said: no message " + token + " (the messages are #0 to #" +
                    std::to_string(VoiceTextCount - 1) + ", --say list)";
            return false;
        }
    }
    step.kind = StepKind::ExpectSaid;
    step.text[0] = words;
    return true;
}
std::string FormatExpectSaid(const Step& s) {
    return "expect said " + Quoted(s.text[0]);
}

// expect tone | expect no tone
bool ParseExpectTone(const StepWords& s, Step& step, std::string& error) {
    step.on = s.w[1] == "tone";
    if ((step.on && s.n != 2) || (!step.on && (s.n != 3 || !s.Is(2, "tone"))))
        return Failed(error, "expected: expect tone | expect no tone");
    step.kind = StepKind::ExpectTone;
    return true;
}
std::string FormatExpectTone(const Step& s) {
    return s.on ? "expect tone" : "expect no tone";
}

// expect clicks N | expect clicks N..M
bool ParseExpectClicks(const StepWords& s, Step& step, std::string& error) {
    const std::string range = s.n == 3 ? s.w[2] : std::string();
    const size_t dots = range.find("..");
    bool ok = s.n == 3;
    if (ok && dots == std::string::npos) {
        ok = ParseCount(range, MaxClicks, step.count);
        step.upTo = step.count;
    } else if (ok) {
        ok = ParseCount(range.substr(0, dots), MaxClicks, step.count) &&
             ParseCount(range.substr(dots + 2), MaxClicks, step.upTo) && step.count <= step.upTo;
    }
    if (!ok) return Failed(error, "expected: expect clicks N | expect clicks N..M (N <= M)");
    step.kind = StepKind::ExpectClicks;
    return true;
}
std::string FormatExpectClicks(const Step& s) {
    return "expect clicks " + std::to_string(s.count) +
           (s.upTo != s.count ? ".." + std::to_string(s.upTo) : std::string());
}

// expect silence
bool ParseExpectSilence(const StepWords& s, Step& step, std::string& error) {
    if (s.n != 2) return Failed(error, "expected: expect silence");
    step.kind = StepKind::ExpectSilence;
    return true;
}
std::string FormatExpectSilence(const Step&) {
    return "expect silence";
}

// expect backlight on|off
bool ParseExpectBacklight(const StepWords& s, Step& step, std::string& error) {
    if (s.n != 3 || s.quoted[2] || (s.w[2] != "on" && s.w[2] != "off"))
        return Failed(error, "expected: expect backlight on | expect backlight off");
    step.on = s.w[2] == "on";
    step.kind = StepKind::ExpectBacklight;
    return true;
}
std::string FormatExpectBacklight(const Step& s) {
    return s.on ? "expect backlight on" : "expect backlight off";
}

// expect cursor N|off
bool ParseExpectCursor(const StepWords& s, Step& step, std::string& error) {
    step.on = !(s.n == 3 && s.w[2] == "off");
    if (s.n != 3 || s.quoted[2] || (step.on && !ParseCount(s.w[2], StepCells - 1, step.count)))
        return Failed(error, "expected: expect cursor N (a cell, 0-23) | expect cursor off");
    step.kind = StepKind::ExpectCursor;
    return true;
}
std::string FormatExpectCursor(const Step& s) {
    return s.on ? "expect cursor " + std::to_string(s.count) : "expect cursor off";
}

// --- The room's steps ----------------------------------------------------------------------

constexpr uint64_t MaxRateMilli = 1000000000000ULL;  // expect rate: up to 10^9 pulses a second

// A number with at most three decimals, in thousandths, at most `max`.
bool ParseMilli(const std::string& text, uint64_t max, uint64_t& milli) {
    const size_t point = text.find('.');
    const std::string whole = text.substr(0, point);
    std::string frac = point == std::string::npos ? std::string() : text.substr(point + 1);
    if (point != std::string::npos && frac.empty()) return false;
    if (frac.size() > 3) return false;
    while (frac.size() < 3) frac.push_back('0');
    uint64_t w, f;
    if (!ParseCount(whole, max / 1000, w) || !ParseCount(frac, 999, f)) return false;
    milli = w * 1000 + f;
    return milli <= max;
}

// Metres with at most three decimals, in millimetres, at most `max`.
bool ParseMetres(const StepWords& s, size_t k, int32_t max, int32_t& mm) {
    uint64_t v;
    if (k >= s.n || s.quoted[k] || !ParseMilli(s.w[k], static_cast<uint64_t>(max), v)) return false;
    mm = static_cast<int32_t>(v);
    return true;
}

// The point X Y in words k and k + 1, in the largest room (the room the script has then is
// checked by ParseScenario).
bool ParsePoint(const StepWords& s, size_t k, int32_t* point) {
    return ParseMetres(s, k, SimRoomMax, point[0]) && ParseMetres(s, k + 1, SimRoomMax, point[1]);
}

bool NameAllowed(const StepWords& s, size_t k) {
    if (k >= s.n || s.quoted[k]) return false;
    const std::string& name = s.w[k];
    if (name.empty() || name.size() > static_cast<size_t>(SimSourceNameMax)) return false;
    for (char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!ok) return false;
    }
    return true;
}

const char* const KindNames[] = {"gamma", "beta", "alpha"};  // by SimSourceKind

bool ParseKind(const std::string& text, uint8_t& kind) {
    for (uint8_t k = 0; k < 3; ++k) {
        if (text == KindNames[k]) {
            kind = k;
            return true;
        }
    }
    return false;
}

std::string MilliText(uint64_t milli) {
    return RateText(milli);
}

std::string MetresText(int32_t mm) {
    return RateText(static_cast<uint64_t>(mm));
}

bool ParseRoom(const StepWords& s, Step& step, std::string& error) {
    if (s.n != 3 || !ParseMetres(s, 1, SimRoomMax, step.pos[0]) ||
        !ParseMetres(s, 2, SimRoomMax, step.pos[1]) || step.pos[0] < SimRoomMin ||
        step.pos[1] < SimRoomMin) {
        return Failed(error,
                      "expected: room W H, each side from 1 to 100 metres (e.g. room 8 6.5)");
    }
    step.kind = StepKind::Room;
    return true;
}

std::string FormatRoom(const Step& s) {
    return "room " + MetresText(s.pos[0]) + " " + MetresText(s.pos[1]);
}

bool ParsePlace(const StepWords& s, Step& step, std::string& error) {
    const bool hidden = s.n == 8 && s.Is(7, "hidden");
    if ((s.n != 7 && !hidden) || !s.Is(4, "at") || !NameAllowed(s, 1) || s.quoted[2] ||
        !ParseKind(s.w[2], step.sourceKind) || s.quoted[3] ||
        !ParseMilli(s.w[3], SimStrengthMax, step.count) || !ParsePoint(s, 5, step.pos)) {
        return Failed(error,
                      "expected: place NAME gamma|beta|alpha R at X Y [hidden], R pulses a second "
                      "at 1 m from 0 to 100000, X Y metres inside the room");
    }
    step.name = s.w[1];
    step.on = hidden;
    step.kind = StepKind::Place;
    return true;
}

std::string FormatPlace(const Step& s) {
    return "place " + s.name + " " + KindNames[s.sourceKind % 3] + " " + MilliText(s.count) +
           " at " + MetresText(s.pos[0]) + " " + MetresText(s.pos[1]) + (s.on ? " hidden" : "");
}

bool ParseRemove(const StepWords& s, Step& step, std::string& error) {
    if (s.n != 2 || !NameAllowed(s, 1)) return Failed(error, "expected: remove NAME");
    step.name = s.w[1];
    step.kind = StepKind::Remove;
    return true;
}

std::string FormatRemove(const Step& s) {
    return "remove " + s.name;
}

bool ParseMove(const StepWords& s, Step& step, std::string& error) {
    if (s.n != 3 || !ParsePoint(s, 1, step.pos))
        return Failed(error, "expected: move X Y, metres inside the room (e.g. move 2.5 4)");
    step.kind = StepKind::Move;
    return true;
}

std::string FormatMove(const Step& s) {
    return "move " + MetresText(s.pos[0]) + " " + MetresText(s.pos[1]);
}

bool ParseWall(const StepWords& s, Step& step, std::string& error) {
    if (s.n != 6 || !ParsePoint(s, 1, step.pos) || !ParsePoint(s, 3, step.pos + 2) ||
        (step.pos[0] == step.pos[2] && step.pos[1] == step.pos[3]) || s.quoted[5] ||
        !ParseMilli(s.w[5], SimTransmissionFull, step.count)) {
        return Failed(error,
                      "expected: wall X1 Y1 X2 Y2 T, two different points inside the room and the "
                      "fraction T of gamma it lets through, 0 to 1");
    }
    step.kind = StepKind::Wall;
    return true;
}

std::string FormatWall(const Step& s) {
    return "wall " + MetresText(s.pos[0]) + " " + MetresText(s.pos[1]) + " " +
           MetresText(s.pos[2]) + " " + MetresText(s.pos[3]) + " " + MilliText(s.count);
}

bool ParseExpectRate(const StepWords& s, Step& step, std::string& error) {
    const std::string range = s.n == 3 && !s.quoted[2] ? s.w[2] : std::string();
    const size_t dots = range.find("..");
    if (dots == std::string::npos || !ParseMilli(range.substr(0, dots), MaxRateMilli, step.count) ||
        !ParseMilli(range.substr(dots + 2), MaxRateMilli, step.upTo) || step.count > step.upTo) {
        return Failed(error, "expected: expect rate A..B, pulses a second (A <= B, e.g. 2..3.5)");
    }
    step.kind = StepKind::ExpectRate;
    return true;
}

std::string FormatExpectRate(const Step& s) {
    return "expect rate " + MilliText(s.count) + ".." + MilliText(s.upTo);
}

// The instrument time of an `at`: a duration (90s, 2min, 1500ms) or minutes and seconds
// (1:30, 0:05.5), in whole ticks taken upwards.
bool ParseClock(const std::string& text, uint64_t& ticks) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos) return ParseDuration(text, ticks);
    uint64_t minutes, secondTicks;
    const std::string seconds = text.substr(colon + 1);
    if (!ParseCount(text.substr(0, colon), MaxTicks / 600, minutes) || seconds.size() < 2 ||
        !std::isdigit(static_cast<unsigned char>(seconds[0])) ||
        !std::isdigit(static_cast<unsigned char>(seconds[1])) ||
        (seconds.size() > 2 && seconds[2] != '.') || seconds.compare(0, 2, "60") >= 0 ||
        !ParseDuration(seconds + "s", secondTicks)) {
        return false;
    }
    ticks = minutes * 600 + secondTicks;
    return ticks <= MaxTicks;
}

// The steps an `at` may run: those that take no time and act on the instrument or the room.
constexpr uint32_t TimedKinds =
    StepKindBit(StepKind::ModeDown) | StepKindBit(StepKind::ModeUp) | StepKindBit(StepKind::Power) |
    StepKindBit(StepKind::PowerDown) | StepKindBit(StepKind::Click) |
    StepKindBit(StepKind::Pulses) | StepKindBit(StepKind::Source) | StepKindBit(StepKind::Room) |
    StepKindBit(StepKind::Place) | StepKindBit(StepKind::Remove) | StepKindBit(StepKind::Move) |
    StepKindBit(StepKind::Wall) | StepKindBit(StepKind::ExpectRate);

bool ParseAt(const StepWords& s, Step& step, std::string& error) {
    if (s.n < 3 || s.quoted[1] || !ParseClock(s.w[1], step.count))
        return Failed(error, "expected: at T STEP, T the instrument time (90s, 1:30, 2min)");
    StepWords inner;
    inner.w.assign(s.w.begin() + 2, s.w.end());
    inner.raw.assign(s.raw.begin() + 2, s.raw.end());
    inner.quoted.assign(s.quoted.begin() + 2, s.quoted.end());
    inner.n = s.n - 2;
    const StepRow* row = FindStepRow(inner);
    Step timed{};
    timed.line = step.line;
    if (row == nullptr) {
        error = "at: unknown step '" + PrintableText(inner.w[0]) + "'";
        return false;
    }
    if (!row->parse(inner, timed, error)) {
        error = "at: " + error;
        return false;
    }
    if ((StepKindBit(timed.kind) & TimedKinds) == 0) {
        return Failed(error,
                      "at: the step must take no time and act on the instrument or the room "
                      "(mode, power, click, pulses, source, room, place, remove, move, wall, "
                      "expect rate)");
    }
    step.duration = s.w[1];
    step.inner.push_back(std::move(timed));
    step.kind = StepKind::At;
    return true;
}

std::string FormatAt(const Step& s) {
    return "at " + s.duration + " " + (s.inner.empty() ? std::string() : FormatStep(s.inner[0]));
}

// pass POINTS
bool ParsePass(const StepWords& s, Step& step, std::string& error) {
    if (s.n != 2 || !ParseCount(s.w[1], MaxPoints, step.count))
        return Failed(error, "expected: pass POINTS (0-1000000)");
    step.kind = StepKind::Pass;
    return true;
}
std::string FormatPass(const Step& s) {
    return "pass " + std::to_string(s.count);
}

// seed N
bool ParseSeed(const StepWords& s, Step& step, std::string& error) {
    if (s.n != 2 || !ParseCount(s.w[1], 0xFFFFFFFFu, step.count))
        return Failed(error, "expected: seed N (0-4294967295)");
    step.kind = StepKind::Seed;
    return true;
}
std::string FormatSeed(const Step& s) {
    return "seed " + std::to_string(s.count);
}

// goal POINTS "TEXT" within D: CHECK, CHECK an expect step without the word expect. The goal
// is read as its check with the goal's values; FormatStep writes it back.
bool ParseGoal(const StepWords& s, Step& step, std::string& error) {
    const char* usage = "expected: goal POINTS \"TEXT\" within D: CHECK";
    uint64_t points;
    if (s.n < 6 || !ParseCount(s.w[1], MaxPoints, points) || !s.quoted[2] || !s.Is(3, "within"))
        return Failed(error, usage);
    size_t colon = 4;
    while (colon < s.n && (s.quoted[colon] || s.w[colon].empty() || s.w[colon].back() != ':'))
        ++colon;
    if (colon >= s.n) return Failed(error, usage);
    std::string duration;
    for (size_t k = 4; k <= colon; ++k) duration += (k > 4 ? " " : "") + s.w[k];
    duration.pop_back();
    while (!duration.empty() && duration.back() == ' ') duration.pop_back();
    if (!ParseDuration(duration, step.within))
        return Failed(error, "expected: within D: with unit ms, s or min (e.g. within 30s:)");
    StepWords check;
    check.w.push_back("expect");
    check.raw.push_back("expect");
    check.quoted.push_back(false);
    for (size_t k = colon + 1; k < s.n; ++k) {
        check.w.push_back(s.w[k]);
        check.raw.push_back(s.raw[k]);
        check.quoted.push_back(s.quoted[k]);
    }
    check.n = check.w.size();
    const StepRow* row = FindStepRow(check);
    if (row == nullptr || std::string(row->name).rfind("expect ", 0) != 0)
        return Failed(error, "expected: a goal's check: an expect step without the word expect");
    if (!row->parse(check, step, error)) {
        error = "goal: " + error;
        return false;
    }
    step.goal = true;
    step.points = static_cast<uint32_t>(points);
    step.goalText = s.w[2];
    step.duration = duration;
    return true;
}

constexpr uint32_t Bit(StepKind kind) {
    return StepKindBit(kind);
}

// The first `k` + 1 words of a name ("expect no tone", 1: "no"); "" past its end.
std::string NameWord(const char* name, size_t k) {
    const std::string s = name;
    size_t start = 0;
    for (size_t i = 0; i < k; ++i) {
        start = s.find(' ', start);
        if (start == std::string::npos) return std::string();
        ++start;
    }
    const size_t end = s.find(' ', start);
    return s.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace

// In the order --help lists them.
const StepRow StepTable[] = {
    {"tick", "tick N", ParseTick, Bit(StepKind::Tick), FormatTick},
    {"wait", "wait D", ParseWait, 0, nullptr},
    {"mode", "mode down | mode up", ParseMode, Bit(StepKind::ModeDown) | Bit(StepKind::ModeUp),
     FormatMode},
    {"press", "press mode [N]", ParsePress, Bit(StepKind::PressMode), FormatPress},
    {"power", "power | power down", ParsePower, Bit(StepKind::Power) | Bit(StepKind::PowerDown),
     FormatPower},
    {"click", "click X Y [left|right]", ParseClick, Bit(StepKind::Click), FormatClick},
    {"pulses", "pulses N", ParsePulses, Bit(StepKind::Pulses), FormatPulses},
    {"source", "source R", ParseSource, Bit(StepKind::Source), FormatSource},
    {"screenshot", "screenshot FILE", ParseScreenshot, Bit(StepKind::Screenshot), FormatScreenshot},
    {"expect lcd", "expect lcd \"LINE1\" \"LINE2\"", ParseExpectLcd, Bit(StepKind::ExpectLcd),
     FormatExpectLcd},
    {"wait until lcd", "wait until lcd \"LINE1\" \"LINE2\" within D", ParseWaitUntil,
     Bit(StepKind::WaitUntilLcd), FormatWaitUntil},
    {"expect said", "expect said \"WORDS\" | expect said #N ...", ParseExpectSaid,
     Bit(StepKind::ExpectSaid), FormatExpectSaid},
    {"expect tone", "expect tone", ParseExpectTone, Bit(StepKind::ExpectTone), FormatExpectTone},
    {"expect no tone", "expect no tone", ParseExpectTone, 0, nullptr},
    {"expect clicks", "expect clicks N | expect clicks N..M", ParseExpectClicks,
     Bit(StepKind::ExpectClicks), FormatExpectClicks},
    {"expect silence", "expect silence", ParseExpectSilence, Bit(StepKind::ExpectSilence),
     FormatExpectSilence},
    {"expect backlight", "expect backlight on|off", ParseExpectBacklight,
     Bit(StepKind::ExpectBacklight), FormatExpectBacklight},
    {"expect cursor", "expect cursor N|off", ParseExpectCursor, Bit(StepKind::ExpectCursor),
     FormatExpectCursor},
    {"room", "room W H", ParseRoom, Bit(StepKind::Room), FormatRoom},
    {"place", "place NAME gamma|beta|alpha R at X Y [hidden]", ParsePlace, Bit(StepKind::Place),
     FormatPlace},
    {"remove", "remove NAME", ParseRemove, Bit(StepKind::Remove), FormatRemove},
    {"move", "move X Y", ParseMove, Bit(StepKind::Move), FormatMove},
    {"wall", "wall X1 Y1 X2 Y2 T", ParseWall, Bit(StepKind::Wall), FormatWall},
    {"at", "at T STEP", ParseAt, Bit(StepKind::At), FormatAt},
    {"expect rate", "expect rate A..B", ParseExpectRate, Bit(StepKind::ExpectRate),
     FormatExpectRate},

    {"goal", "goal POINTS \"TEXT\" within D: CHECK", ParseGoal, 0, nullptr},
    {"pass", "pass POINTS", ParsePass, Bit(StepKind::Pass), FormatPass},
    {"seed", "seed N", ParseSeed, Bit(StepKind::Seed), FormatSeed},
};
const size_t StepTableSize = sizeof StepTable / sizeof StepTable[0];

const StepRow* FindStepRow(const StepWords& words) {
    const StepRow* found = nullptr;
    for (const StepRow& row : StepTable) {
        const std::string second = NameWord(row.name, 1);
        if (!words.Is(0, NameWord(row.name, 0).c_str())) continue;
        if (!second.empty() && !words.Is(1, second.c_str())) continue;
        if (!second.empty()) return &row;  // two words beat one
        found = &row;
    }
    return found;
}

const StepRow* StepRowOf(StepKind kind) {
    for (const StepRow& row : StepTable)
        if ((row.kinds & StepKindBit(kind)) != 0) return &row;
    return nullptr;
}

std::vector<std::string> StepForms(const StepRow& row) {
    std::vector<std::string> forms;
    const std::string usage = row.usage;
    size_t start = 0;
    for (;;) {
        const size_t bar = usage.find(" | ", start);
        forms.push_back(usage.substr(start, bar == std::string::npos ? bar : bar - start));
        if (bar == std::string::npos) return forms;
        start = bar + 3;
    }
}

std::string StepUsageText(size_t width) {
    std::string text = "Scenario steps:";
    size_t column = text.size();
    bool first = true;
    for (const StepRow& row : StepTable) {
        for (const std::string& form : StepForms(row)) {
            // A line that would pass the width ends in " |"; the next starts with two blanks.
            if (first) {
                text += " ";
                column += 1;
            } else if (column + 3 + form.size() + 2 > width) {
                text += " |\n  ";
                column = 2;
            } else {
                text += " | ";
                column += 3;
            }
            text += form;  // the forms are ASCII: one column a byte
            column += form.size();
            first = false;
        }
    }
    return text + "\n";
}

// The message for a line whose first word starts only steps of two words: their names.
std::string StepNamesAfter(const std::string& verb) {
    std::string names;
    for (const StepRow& row : StepTable) {
        const std::string name = row.name;
        if (NameWord(row.name, 0) != verb || NameWord(row.name, 1).empty()) continue;
        names += (names.empty() ? "" : " | ") + name.substr(verb.size() + 1);
    }
    return names;
}
