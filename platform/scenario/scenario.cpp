#include "scenario.h"

#include <cctype>

#include "simulator.h"

namespace {

constexpr uint64_t MaxTicks = StepMaxTicks;
constexpr uint64_t MaxSourceMilli = 2000000;  // source R: at most 2000 pulses a second
constexpr uint64_t MaxClicks = 1000000000ULL;
constexpr uint64_t MaxRateMilli = 1000000000000ULL;  // expect rate: up to 10^9 pulses a second

// Splits a line into words; a word in double quotes may hold blanks, \" and \\. `raw` gets
// each word as written (for a quoted word: between the quotes, escapes kept).
bool SplitWords(const std::string& line, std::vector<std::string>& words,
                std::vector<std::string>& raw, std::vector<bool>& quoted, std::string& error) {
    size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        std::string word;
        if (c == '"') {
            const size_t start = ++i;
            bool closed = false;
            while (i < line.size()) {
                const char d = line[i++];
                if (d == '"') {
                    closed = true;
                    break;
                }
                if (d == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\')) {
                    word.push_back(line[i++]);
                } else {
                    word.push_back(d);
                }
            }
            if (!closed) {
                error = "unterminated quoted text";
                return false;
            }
            words.push_back(word);
            raw.push_back(line.substr(start, i - 1 - start));
            quoted.push_back(true);
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
                word.push_back(line[i++]);
            }
            words.push_back(word);
            raw.push_back(word);
            quoted.push_back(false);
        }
    }
    return true;
}

// The length of the UTF-8 sequence that starts at s[i], 0 when it is not one.
size_t Utf8Length(const std::string& s, size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    size_t n = b < 0x80             ? 1
               : (b & 0xE0) == 0xC0 ? 2
               : (b & 0xF0) == 0xE0 ? 3
               : (b & 0xF8) == 0xF0 ? 4
                                    : 0;
    if (n == 0 || i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
    if (n == 2 && b < 0xC2) return 0;  // overlong
    return n;
}

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

// The positions the script's steps must lie in, as its `room` steps leave it so far.
struct RoomCheck {
    int32_t width = 10000, height = 10000;
};

bool Error(std::string& out, std::string message) {
    out = std::move(message);
    return false;
}

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

// Metres with at most three decimals, in millimetres.
bool ParseMetres(const std::string& text, int32_t max, int32_t& mm) {
    uint64_t v;
    if (!ParseMilli(text, static_cast<uint64_t>(max), v)) return false;
    mm = static_cast<int32_t>(v);
    return true;
}

// The point X Y in words k and k + 1, inside the room.
bool ParsePoint(const std::vector<std::string>& w, size_t k, const RoomCheck& room,
                int32_t* point) {
    return k + 1 < w.size() && ParseMetres(w[k], room.width, point[0]) &&
           ParseMetres(w[k + 1], room.height, point[1]);
}

bool NameAllowed(const std::string& name) {
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
bool Timed(StepKind kind) {
    switch (kind) {
        case StepKind::ModeDown:
        case StepKind::ModeUp:
        case StepKind::Power:
        case StepKind::PowerDown:
        case StepKind::Click:
        case StepKind::Pulses:
        case StepKind::Source:
        case StepKind::Room:
        case StepKind::Place:
        case StepKind::Remove:
        case StepKind::Move:
        case StepKind::Wall:
        case StepKind::ExpectRate:
            return true;
        default:
            return false;
    }
}

std::string MilliText(uint64_t milli) {
    std::string s = std::to_string(milli / 1000);
    if (milli % 1000 != 0) {
        std::string frac = std::to_string(1000 + milli % 1000).substr(1);
        while (frac.back() == '0') frac.pop_back();
        s += "." + frac;
    }
    return s;
}

std::string MetresText(int32_t mm) {
    return MilliText(static_cast<uint64_t>(mm));
}

std::string Quoted(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    return out + "\"";
}

}  // namespace

bool ParseCount(const std::string& text, uint64_t max, uint64_t& value) {
    if (text.empty() || text.size() > 19) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    if (v > max) return false;
    value = v;
    return true;
}

bool ParseDuration(const std::string& text, uint64_t& ticks) {
    // Number: digits, optionally a point and more digits; kept exactly as a fraction.
    size_t i = 0;
    uint64_t whole = 0, frac = 0, fracScale = 1;
    bool digits = false;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        whole = whole * 10 + static_cast<uint64_t>(text[i] - '0');
        if (whole > MaxTicks * 100) return false;
        digits = true;
        ++i;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            if (fracScale < 1000000000ULL) {
                frac = frac * 10 + static_cast<uint64_t>(text[i] - '0');
                fracScale *= 10;
            } else if (text[i] != '0') {
                return false;  // more precision than a microsecond-free tick count needs
            }
            digits = true;
            ++i;
        }
    }
    if (!digits) return false;
    while (i < text.size() && text[i] == ' ') ++i;
    const std::string unit = text.substr(i);
    uint64_t msPerUnit;
    if (unit == "ms") {
        msPerUnit = 1;
    } else if (unit == "s") {
        msPerUnit = 1000;
    } else if (unit == "min") {
        msPerUnit = 60000;
    } else {
        return false;
    }
    // ticks = ceil((whole + frac / fracScale) * msPerUnit / 100)
    const unsigned __int128 numerator =
        (static_cast<unsigned __int128>(whole) * fracScale + frac) * msPerUnit;
    const unsigned __int128 denominator = static_cast<unsigned __int128>(fracScale) * 100;
    const unsigned __int128 t = (numerator + denominator - 1) / denominator;
    if (t > MaxTicks) return false;
    ticks = static_cast<uint64_t>(t);
    return true;
}

std::string LookAlikeText(const std::string& cell) {
    // Cyrillic letters drawn with the same glyph as a Latin letter, and that letter.
    static const struct {
        const char* cyrillic;
        char latin;
    } pairs[] = {
        {"А", 'A'}, {"В", 'B'}, {"Е", 'E'}, {"К", 'K'}, {"М", 'M'}, {"Н", 'H'},
        {"О", 'O'}, {"Р", 'P'}, {"С", 'C'}, {"Т", 'T'}, {"Х", 'X'}, {"а", 'a'},
        {"е", 'e'}, {"о", 'o'}, {"р", 'p'}, {"с", 'c'}, {"у", 'y'}, {"х", 'x'},
    };
    for (const auto& p : pairs)
        if (cell == p.cyrillic) return std::string(1, p.latin);
    return cell;
}

std::vector<std::string> SplitCells(const std::string& line) {
    std::vector<std::string> cells;
    for (size_t i = 0; i < line.size();) {
        size_t n = Utf8Length(line, i);
        if (n == 0) n = 1;  // a stray byte is a cell of its own
        std::string cell = line.substr(i, n);
        i += n;
        // ⁻ followed by ¹ or ²: the display's one superscript cell.
        if (cell == "\u207B" &&
            (line.compare(i, 2, "\u00B9") == 0 || line.compare(i, 2, "\u00B2") == 0)) {
            cell += line.substr(i, 2);
            i += 2;
        }
        cells.push_back(cell);
    }
    return cells;
}

std::string PrintableText(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const size_t n = Utf8Length(text, i);
        if (b == '\r') {
            out += "\\r";
        } else if (b == '\t') {
            out += "\\t";
        } else if (b == '\n') {
            out += "\\n";
        } else if (n == 0 || b < 0x20 || b == 0x7F) {
            out += "\\x";
            out.push_back(hex[b >> 4]);
            out.push_back(hex[b & 15]);
        } else if (text.compare(i, n, "\uFEFF") == 0) {
            out += "\\u{FEFF}";
        } else if (n == 2 && b == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            out += "\\u{00";  // a C1 control character
            out.push_back(hex[static_cast<unsigned char>(text[i + 1]) >> 4]);
            out.push_back(hex[static_cast<unsigned char>(text[i + 1]) & 15]);
            out += "}";
        } else {
            out.append(text, i, n);
        }
        i += n == 0 ? 1 : n;
    }
    return out;
}

namespace {

// Parses the words of one line into `step` (its line already set); false with the reason in
// `error`. `room` is the room the script's positions must lie in, as its steps stand so far.
bool ParseWords(const std::vector<std::string>& w, const std::vector<std::string>& raw,
                const std::vector<bool>& quoted, Step& step, RoomCheck& room, std::string& error) {
    const std::string& verb = quoted[0] ? std::string() : w[0];
    const size_t n = w.size();
    auto word = [&](size_t k, const char* expected) {
        return k < n && !quoted[k] && w[k] == expected;
    };
    if (verb == "tick") {
        if (n != 2 || !ParseCount(w[1], MaxTicks, step.count))
            return Error(error, "expected: tick N");
        step.kind = StepKind::Tick;
    } else if (verb == "wait" && word(1, "until")) {
        // wait until lcd "LINE1" "LINE2" within D
        const char* usage = "expected: wait until lcd \"LINE1\" \"LINE2\" within D";
        if (n < 7 || n > 8 || !word(2, "lcd") || !quoted[3] || !quoted[4] || !word(5, "within")) {
            return Error(error, usage);
        }
        for (size_t k = 6; k < n; ++k) step.duration += (k > 6 ? " " : "") + w[k];
        if (!ParseDuration(step.duration, step.count)) {
            return Error(error, "expected: within D with unit ms, s or min (e.g. within 5s)");
        }
        for (int l = 0; l < 2; ++l) {
            if (!ParseLcdLine(raw[3 + static_cast<size_t>(l)], step.cells + l * StepLineCells,
                              error)) {
                return Error(error, "wait until lcd: " + error);
            }
            step.text[l] = raw[3 + static_cast<size_t>(l)];
        }
        step.kind = StepKind::WaitUntilLcd;
    } else if (verb == "wait") {
        std::string d;
        for (size_t k = 1; k < n; ++k) d += (k > 1 ? " " : "") + w[k];
        if (n < 2 || n > 3 || !ParseDuration(d, step.count)) {
            return Error(error, "expected: wait D with unit ms, s or min (e.g. wait 2.5s)");
        }
        step.kind = StepKind::Tick;
    } else if (verb == "mode") {
        if (n == 2 && w[1] == "down") {
            step.kind = StepKind::ModeDown;
        } else if (n == 2 && w[1] == "up") {
            step.kind = StepKind::ModeUp;
        } else {
            return Error(error, "expected: mode down | mode up");
        }
    } else if (verb == "press") {
        if (n < 2 || n > 3 || w[1] != "mode") return Error(error, "expected: press mode [N]");
        step.count = 1;
        if (n == 3 && !ParseCount(w[2], MaxTicks, step.count)) {
            return Error(error, "expected: press mode [N], N a whole number of ticks");
        }
        step.kind = StepKind::PressMode;
    } else if (verb == "power") {
        if (n == 1) {
            step.kind = StepKind::Power;
        } else if (n == 2 && w[1] == "down") {
            step.kind = StepKind::PowerDown;
        } else {
            return Error(error, "expected: power | power down");
        }
    } else if (verb == "click") {
        uint64_t x, y;
        if (n < 3 || n > 4 || !ParseCount(w[1], 65535, x) || !ParseCount(w[2], 65535, y) ||
            (n == 4 && w[3] != "left" && w[3] != "right")) {
            return Error(error, "expected: click X Y [left|right]");
        }
        step.kind = StepKind::Click;
        step.x = static_cast<uint32_t>(x);
        step.y = static_cast<uint32_t>(y);
    } else if (verb == "expect" && word(1, "lcd")) {
        if (n != 4 || !quoted[2] || !quoted[3]) {
            return Error(error, "expected: expect lcd \"LINE1\" \"LINE2\"");
        }
        for (int l = 0; l < 2; ++l) {
            if (!ParseLcdLine(raw[2 + static_cast<size_t>(l)], step.cells + l * StepLineCells,
                              error)) {
                return Error(error, "expect lcd: " + error);
            }
            step.text[l] = raw[2 + static_cast<size_t>(l)];
        }
        step.kind = StepKind::ExpectLcd;
    } else if (verb == "expect" && word(1, "said")) {
        if (n != 3 || !quoted[2]) return Error(error, "expected: expect said \"WORDS\"");
        step.kind = StepKind::ExpectSaid;
        step.text[0] = w[2];
    } else if (verb == "expect" && (word(1, "tone") || word(1, "no"))) {
        step.on = w[1] == "tone";
        if ((step.on && n != 2) || (!step.on && (n != 3 || !word(2, "tone")))) {
            return Error(error, "expected: expect tone | expect no tone");
        }
        step.kind = StepKind::ExpectTone;
    } else if (verb == "expect" && word(1, "clicks")) {
        const std::string range = n == 3 ? w[2] : std::string();
        const size_t dots = range.find("..");
        bool ok = n == 3;
        if (ok && dots == std::string::npos) {
            ok = ParseCount(range, MaxClicks, step.count);
            step.upTo = step.count;
        } else if (ok) {
            ok = ParseCount(range.substr(0, dots), MaxClicks, step.count) &&
                 ParseCount(range.substr(dots + 2), MaxClicks, step.upTo) &&
                 step.count <= step.upTo;
        }
        if (!ok) return Error(error, "expected: expect clicks N | expect clicks N..M (N <= M)");
        step.kind = StepKind::ExpectClicks;
    } else if (verb == "expect" && word(1, "silence")) {
        if (n != 2) return Error(error, "expected: expect silence");
        step.kind = StepKind::ExpectSilence;
    } else if (verb == "expect" && word(1, "backlight")) {
        if (n != 3 || quoted[2] || (w[2] != "on" && w[2] != "off")) {
            return Error(error, "expected: expect backlight on | expect backlight off");
        }
        step.on = w[2] == "on";
        step.kind = StepKind::ExpectBacklight;
    } else if (verb == "expect" && word(1, "cursor")) {
        step.on = !(n == 3 && w[2] == "off");
        if (n != 3 || quoted[2] || (step.on && !ParseCount(w[2], StepCells - 1, step.count))) {
            return Error(error, "expected: expect cursor N (a cell, 0-23) | expect cursor off");
        }
        step.kind = StepKind::ExpectCursor;
    } else if (verb == "expect" && !word(1, "rate")) {
        return Error(
            error,
            "expected: expect lcd | said | tone | no tone | clicks | silence | backlight | "
            "cursor | rate");
    } else if (verb == "screenshot") {
        if (n != 2 || w[1].empty()) return Error(error, "expected: screenshot FILE");
        step.kind = StepKind::Screenshot;
        step.text[0] = w[1];
    } else if (verb == "pulses") {
        if (n != 2 || !ParseCount(w[1], 255, step.count) || step.count == 0) {
            return Error(error, "expected: pulses N with N from 1 to 255");
        }
        step.kind = StepKind::Pulses;
    } else if (verb == "source") {
        if (n != 2 || quoted[1] || !ParseMilli(w[1], MaxSourceMilli, step.count)) {
            return Error(error, "expected: source R, R pulses a second from 0 to 2000 (e.g. 12.5)");
        }
        step.kind = StepKind::Source;
    } else if (verb == "room") {
        if (n != 3 || !ParseMetres(w[1], SimRoomMax, step.pos[0]) ||
            !ParseMetres(w[2], SimRoomMax, step.pos[1]) || step.pos[0] < SimRoomMin ||
            step.pos[1] < SimRoomMin) {
            return Error(error,
                         "expected: room W H, each side from 1 to 100 metres (e.g. room 8 6.5)");
        }
        room.width = step.pos[0];
        room.height = step.pos[1];
        step.kind = StepKind::Room;
    } else if (verb == "place") {
        const char* usage =
            "expected: place NAME gamma|beta|alpha R at X Y [hidden], R pulses a second at 1 m "
            "from 0 to 100000, X Y metres inside the room";
        const bool hidden = n == 8 && word(7, "hidden");
        if ((n != 7 && !hidden) || !word(4, "at") || quoted[1] || !NameAllowed(w[1]) ||
            !ParseKind(w[2], step.sourceKind) || quoted[3] ||
            !ParseMilli(w[3], SimStrengthMax, step.count) || !ParsePoint(w, 5, room, step.pos)) {
            return Error(error, usage);
        }
        step.name = w[1];
        step.on = hidden;
        step.kind = StepKind::Place;
    } else if (verb == "remove") {
        if (n != 2 || quoted[1] || !NameAllowed(w[1])) return Error(error, "expected: remove NAME");
        step.name = w[1];
        step.kind = StepKind::Remove;
    } else if (verb == "move") {
        if (n != 3 || !ParsePoint(w, 1, room, step.pos)) {
            return Error(error, "expected: move X Y, metres inside the room (e.g. move 2.5 4)");
        }
        step.kind = StepKind::Move;
    } else if (verb == "wall") {
        if (n != 6 || !ParsePoint(w, 1, room, step.pos) || !ParsePoint(w, 3, room, step.pos + 2) ||
            (step.pos[0] == step.pos[2] && step.pos[1] == step.pos[3]) ||
            !ParseMilli(w[5], SimTransmissionFull, step.count)) {
            return Error(error,
                         "expected: wall X1 Y1 X2 Y2 T, two different points inside the room and "
                         "the fraction T of gamma it lets through, 0 to 1");
        }
        step.kind = StepKind::Wall;
    } else if (verb == "expect" && word(1, "rate")) {
        const std::string range = n == 3 ? w[2] : std::string();
        const size_t dots = range.find("..");
        if (n != 3 || dots == std::string::npos ||
            !ParseMilli(range.substr(0, dots), MaxRateMilli, step.count) ||
            !ParseMilli(range.substr(dots + 2), MaxRateMilli, step.upTo) ||
            step.count > step.upTo) {
            return Error(error,
                         "expected: expect rate A..B, pulses a second (A <= B, e.g. 2..3.5)");
        }
        step.kind = StepKind::ExpectRate;
    } else if (verb == "at") {
        const char* usage = "expected: at T STEP, T the instrument time (90s, 1:30, 2min)";
        if (n < 3 || quoted[1] || !ParseClock(w[1], step.count)) return Error(error, usage);
        Step inner{};
        inner.line = step.line;
        const std::vector<std::string> iw(w.begin() + 2, w.end()), iraw(raw.begin() + 2, raw.end());
        const std::vector<bool> iq(quoted.begin() + 2, quoted.end());
        if (!ParseWords(iw, iraw, iq, inner, room, error)) return Error(error, "at: " + error);
        if (!Timed(inner.kind)) {
            return Error(error,
                         "at: the step must take no time and act on the instrument or the room "
                         "(mode, power, click, pulses, source, room, place, remove, move, wall, "
                         "expect rate)");
        }
        step.duration = w[1];
        step.inner.push_back(std::move(inner));
        step.kind = StepKind::At;
    } else {
        return Error(error, "unknown step '" + PrintableText(w[0]) + "'");
    }
    return true;
}

}  // namespace

ParseResult ParseScenario(const std::string& name, const std::string& text) {
    ParseResult result;
    RoomCheck room;
    int lineNo = 0;
    // A byte-order mark that an editor put at the start is no part of the first step.
    size_t pos = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    auto fail = [&](const std::string& message) {
        result.ok = false;
        result.error = PrintableText(name) + ":" + std::to_string(lineNo) + ": " + message;
        result.steps.clear();
        return result;
    };
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        if (line.find('\0') != std::string::npos) return fail("NUL byte in line");

        std::vector<std::string> w, raw;
        std::vector<bool> quoted;
        std::string error;
        if (!SplitWords(line, w, raw, quoted, error)) return fail(error);
        if (w.empty() || (!quoted[0] && w[0][0] == '#')) {
            if (end == text.size()) break;
            continue;
        }
        Step step{};
        step.line = lineNo;
        if (!ParseWords(w, raw, quoted, step, room, error)) return fail(error);
        result.steps.push_back(std::move(step));
        if (end == text.size()) break;
    }
    return result;
}

std::string FormatStep(const Step& s) {
    switch (s.kind) {
        case StepKind::Tick:
            return "tick " + std::to_string(s.count);
        case StepKind::ModeDown:
            return "mode down";
        case StepKind::ModeUp:
            return "mode up";
        case StepKind::PressMode:
            return "press mode " + std::to_string(s.count);
        case StepKind::Power:
            return "power";
        case StepKind::PowerDown:
            return "power down";
        case StepKind::Click:
            return "click " + std::to_string(s.x) + " " + std::to_string(s.y);
        case StepKind::ExpectLcd:
            return "expect lcd \"" + s.text[0] + "\" \"" + s.text[1] + "\"";
        case StepKind::WaitUntilLcd:
            return "wait until lcd \"" + s.text[0] + "\" \"" + s.text[1] + "\" within " +
                   s.duration;
        case StepKind::Screenshot:
            return "screenshot " + Quoted(s.text[0]);
        case StepKind::Pulses:
            return "pulses " + std::to_string(s.count);
        case StepKind::ExpectSaid:
            return "expect said " + Quoted(s.text[0]);
        case StepKind::ExpectTone:
            return s.on ? "expect tone" : "expect no tone";
        case StepKind::ExpectClicks:
            return "expect clicks " + std::to_string(s.count) +
                   (s.upTo != s.count ? ".." + std::to_string(s.upTo) : std::string());
        case StepKind::ExpectSilence:
            return "expect silence";
        case StepKind::ExpectBacklight:
            return s.on ? "expect backlight on" : "expect backlight off";
        case StepKind::ExpectCursor:
            return s.on ? "expect cursor " + std::to_string(s.count) : "expect cursor off";
        case StepKind::Source:
            return "source " + MilliText(s.count);
        case StepKind::Room:
            return "room " + MetresText(s.pos[0]) + " " + MetresText(s.pos[1]);
        case StepKind::Place:
            return "place " + s.name + " " + KindNames[s.sourceKind % 3] + " " +
                   MilliText(s.count) + " at " + MetresText(s.pos[0]) + " " + MetresText(s.pos[1]) +
                   (s.on ? " hidden" : "");
        case StepKind::Remove:
            return "remove " + s.name;
        case StepKind::Move:
            return "move " + MetresText(s.pos[0]) + " " + MetresText(s.pos[1]);
        case StepKind::Wall:
            return "wall " + MetresText(s.pos[0]) + " " + MetresText(s.pos[1]) + " " +
                   MetresText(s.pos[2]) + " " + MetresText(s.pos[3]) + " " + MilliText(s.count);
        case StepKind::At:
            return "at " + s.duration + " " +
                   (s.inner.empty() ? std::string() : FormatStep(s.inner[0]));
        case StepKind::ExpectRate:
            return "expect rate " + MilliText(s.count) + ".." + MilliText(s.upTo);
    }
    return std::string();
}
