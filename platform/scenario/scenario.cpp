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

// Cyrillic letters drawn with the same glyph as a Latin letter, and that letter. The
// display's text writes them with the Latin codes (ГАММА is Г, A, M, M, A).
const struct {
    const char* cyrillic;
    char latin;
} LookAlikePairs[] = {
    {"А", 'A'}, {"В", 'B'}, {"Е", 'E'}, {"К", 'K'}, {"М", 'M'}, {"Н", 'H'}, {"О", 'O'},
    {"Р", 'P'}, {"С", 'C'}, {"Т", 'T'}, {"У", 'Y'}, {"Х", 'X'}, {"а", 'a'}, {"е", 'e'},
    {"о", 'o'}, {"р", 'p'}, {"с", 'c'}, {"у", 'y'}, {"х", 'x'},
};

const char* CyrillicOf(char latin) {
    for (const auto& p : LookAlikePairs)
        if (p.latin == latin) return p.cyrillic;
    return nullptr;
}

bool IsLatinLetter(const std::string& cell) {
    return cell.size() == 1 && std::isalpha(static_cast<unsigned char>(cell[0])) != 0;
}

bool IsCyrillicLetter(const std::string& cell) {
    const unsigned char b = cell.empty() ? 0 : static_cast<unsigned char>(cell[0]);
    return cell.size() == 2 && b >= 0xD0 && b <= 0xD3;  // U+0400-U+04FF
}

}  // namespace

std::string LookAlikeText(const std::string& cell) {
    for (const auto& p : LookAlikePairs)
        if (cell == p.cyrillic) return std::string(1, p.latin);
    return cell;
}

std::string CyrillicSpelling(const std::string& text) {
    std::string out;
    const std::vector<std::string> cells = SplitCells(text);
    for (size_t i = 0; i < cells.size();) {
        if (!IsLatinLetter(cells[i]) && !IsCyrillicLetter(cells[i])) {
            out += cells[i++];
            continue;
        }
        size_t end = i;
        bool cyrillic = false, smallLookAlikes = true;
        for (; end < cells.size() && (IsLatinLetter(cells[end]) || IsCyrillicLetter(cells[end]));
             ++end) {
            const std::string& c = cells[end];
            if (IsCyrillicLetter(c)) cyrillic = true;
            if (!IsLatinLetter(c) || !std::islower(static_cast<unsigned char>(c[0])) ||
                CyrillicOf(c[0]) == nullptr)
                smallLookAlikes = false;
        }
        const bool russian = cyrillic || smallLookAlikes;
        for (; i < end; ++i) {
            const char* c = russian && IsLatinLetter(cells[i]) ? CyrillicOf(cells[i][0]) : nullptr;
            out += c != nullptr ? c : cells[i];
        }
    }
    return out;
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

ParseResult ParseScenario(const std::string& name, const std::string& text) {
    ParseResult result;
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
