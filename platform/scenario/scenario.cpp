#include "scenario.h"

#include <cctype>

#include "steps.h"

namespace {

constexpr uint64_t MaxTicks = StepMaxTicks;

// Splits a line into words; a word in double quotes may hold blanks, \" and \\. `raw` gets
// each word as written (for a quoted word: between the quotes, escapes kept).
bool SplitWords(const std::string& line, StepWords& split, std::string& error) {
    std::vector<std::string>& words = split.w;
    std::vector<std::string>& raw = split.raw;
    std::vector<bool>& quoted = split.quoted;
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
    split.n = words.size();
    return true;
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

namespace {

// Whether the positions of a room step (or of an `at` step's own step) lie in `room`, the
// room as the script's `room` steps leave it so far (a room step sets it); false with the
// message otherwise. A room made smaller later fails the step when it runs.
bool InTheRoom(const Step& step, int32_t* room, std::string& error) {
    const Step& s = step.kind == StepKind::At ? step.inner[0] : step;
    auto inside = [&](const int32_t* p) { return p[0] <= room[0] && p[1] <= room[1]; };
    switch (s.kind) {
        case StepKind::Room:
            room[0] = s.pos[0];
            room[1] = s.pos[1];
            return true;
        case StepKind::Place:
        case StepKind::Move:
        case StepKind::Wall:
            if (inside(s.pos) && (s.kind != StepKind::Wall || inside(s.pos + 2))) return true;
            {
                Step size{};
                size.kind = StepKind::Room;
                size.pos[0] = room[0];
                size.pos[1] = room[1];
                error = std::string(step.kind == StepKind::At ? "at: " : "") + FormatStep(s) +
                        ": a position outside the room (" + FormatStep(size) + ")";
            }
            return false;
        default:
            return true;
    }
}

}  // namespace

ParseResult ParseScenario(const std::string& name, const std::string& text) {
    ParseResult result;
    int32_t room[2] = {10000, 10000};  // the room the script's positions must lie in so far
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

        StepWords words;
        std::string error;
        if (!SplitWords(line, words, error)) return fail(error);
        if (words.n == 0 || (!words.quoted[0] && words.w[0][0] == '#')) {
            if (end == text.size()) break;
            continue;
        }
        const StepRow* row = FindStepRow(words);
        if (row == nullptr) {
            const std::string names = words.quoted[0] ? std::string() : StepNamesAfter(words.w[0]);
            if (!names.empty()) return fail("expected: " + words.w[0] + " " + names);
            return fail("unknown step '" + PrintableText(words.w[0]) + "'");
        }
        Step step{};
        step.line = lineNo;
        if (!row->parse(words, step, error)) return fail(error);
        // The seed sets the background the run starts with: before anything acts or waits.
        if (step.kind == StepKind::Seed) {
            for (const Step& before : result.steps) {
                if (before.kind != StepKind::Pass && !before.goal)
                    return fail("seed must come before every step that acts, waits or checks");
            }
        }
        if (!InTheRoom(step, room, error)) return fail(error);
        result.steps.push_back(std::move(step));
        if (end == text.size()) break;
    }
    return result;
}

std::string FormatStep(const Step& s) {
    const StepRow* row = StepRowOf(s.kind);
    if (row == nullptr) return std::string();
    if (!s.goal) return row->format(s);
    std::string text = "goal " + std::to_string(s.points) + " \"";
    for (char c : s.goalText) {
        if (c == '"' || c == '\\') text.push_back('\\');
        text.push_back(c);
    }
    const std::string check = row->format(s);
    return text + "\" within " + s.duration + ": " + check.substr(check.find(' ') + 1);
}
