#include "scenario.h"

#include <cctype>

namespace {

constexpr uint64_t MaxTicks = 1000000000ULL;  // about 3 years of instrument time

// Splits a line into words; a word in double quotes may hold blanks, \" and \\.
bool SplitWords(const std::string& line, std::vector<std::string>& words, std::vector<bool>& quoted,
                std::string& error) {
    size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        std::string word;
        if (c == '"') {
            ++i;
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
            quoted.push_back(true);
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
                word.push_back(line[i++]);
            }
            words.push_back(word);
            quoted.push_back(false);
        }
    }
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

ParseResult ParseScenario(const std::string& name, const std::string& text) {
    ParseResult result;
    int lineNo = 0;
    size_t pos = 0;
    auto fail = [&](const std::string& message) {
        result.ok = false;
        result.error = name + ":" + std::to_string(lineNo) + ": " + message;
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

        std::vector<std::string> w;
        std::vector<bool> quoted;
        std::string error;
        if (!SplitWords(line, w, quoted, error)) return fail(error);
        if (w.empty() || (!quoted[0] && w[0][0] == '#')) {
            if (end == text.size()) break;
            continue;
        }
        Step step{};
        step.line = lineNo;
        const std::string& verb = quoted[0] ? std::string() : w[0];
        const size_t n = w.size();
        if (verb == "tick") {
            if (n != 2 || !ParseCount(w[1], MaxTicks, step.count)) return fail("expected: tick N");
            step.kind = StepKind::Tick;
        } else if (verb == "wait") {
            std::string d;
            for (size_t k = 1; k < n; ++k) d += (k > 1 ? " " : "") + w[k];
            if (n < 2 || n > 3 || !ParseDuration(d, step.count)) {
                return fail("expected: wait D with unit ms, s or min (e.g. wait 2.5s)");
            }
            step.kind = StepKind::Tick;
        } else if (verb == "mode") {
            if (n == 2 && w[1] == "down") {
                step.kind = StepKind::ModeDown;
            } else if (n == 2 && w[1] == "up") {
                step.kind = StepKind::ModeUp;
            } else {
                return fail("expected: mode down | mode up");
            }
        } else if (verb == "press") {
            if (n < 2 || n > 3 || w[1] != "mode") return fail("expected: press mode [N]");
            step.count = 1;
            if (n == 3 && !ParseCount(w[2], MaxTicks, step.count)) {
                return fail("expected: press mode [N], N a whole number of ticks");
            }
            step.kind = StepKind::PressMode;
        } else if (verb == "power") {
            if (n != 1) return fail("expected: power");
            step.kind = StepKind::Power;
        } else if (verb == "click") {
            uint64_t x, y;
            if (n < 3 || n > 4 || !ParseCount(w[1], 65535, x) || !ParseCount(w[2], 65535, y) ||
                (n == 4 && w[3] != "left" && w[3] != "right")) {
                return fail("expected: click X Y [left|right]");
            }
            step.kind = StepKind::Click;
            step.x = static_cast<uint32_t>(x);
            step.y = static_cast<uint32_t>(y);
        } else if (verb == "expect") {
            if (n != 4 || w[1] != "lcd" || !quoted[2] || !quoted[3]) {
                return fail("expected: expect lcd \"LINE1\" \"LINE2\"");
            }
            step.kind = StepKind::ExpectLcd;
            step.text[0] = w[2];
            step.text[1] = w[3];
        } else if (verb == "screenshot") {
            if (n != 2 || w[1].empty()) return fail("expected: screenshot FILE");
            step.kind = StepKind::Screenshot;
            step.text[0] = w[1];
        } else if (verb == "pulses") {
            if (n != 2 || !ParseCount(w[1], 255, step.count) || step.count == 0) {
                return fail("expected: pulses N with N from 1 to 255");
            }
            step.kind = StepKind::Pulses;
        } else {
            return fail("unknown step '" + w[0] + "'");
        }
        result.steps.push_back(std::move(step));
        if (end == text.size()) break;
    }
    return result;
}

namespace {

std::string Quoted(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    return out + "\"";
}

}  // namespace

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
        case StepKind::Click:
            return "click " + std::to_string(s.x) + " " + std::to_string(s.y);
        case StepKind::ExpectLcd:
            return "expect lcd " + Quoted(s.text[0]) + " " + Quoted(s.text[1]);
        case StepKind::Screenshot:
            return "screenshot " + Quoted(s.text[0]);
        case StepKind::Pulses:
            return "pulses " + std::to_string(s.count);
    }
    return std::string();
}
