#include "text.h"

#include <cctype>

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

size_t Columns(const std::string& text) {
    size_t n = 0;
    for (char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

std::string Plural(uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Cyrillic letters drawn with the same glyph as a Latin letter, and that letter.
const LookAlike LookAlikes[] = {
    {"А", 'A'}, {"В", 'B'}, {"Е", 'E'}, {"К", 'K'}, {"М", 'M'}, {"Н", 'H'},
    {"О", 'O'}, {"Р", 'P'}, {"С", 'C'}, {"Т", 'T'}, {"Х", 'X'}, {"а", 'a'},
    {"е", 'e'}, {"о", 'o'}, {"р", 'p'}, {"с", 'c'}, {"у", 'y'}, {"х", 'x'},
};
const size_t LookAlikeCount = sizeof LookAlikes / sizeof LookAlikes[0];

std::string LookAlikeText(const std::string& cell) {
    for (const auto& p : LookAlikes)
        if (cell == p.cyrillic) return std::string(1, p.latin);
    return cell;
}

std::string LookAlikePairs() {
    std::string pairs;
    for (const auto& p : LookAlikes) pairs += std::string(p.cyrillic) + p.latin;
    return pairs;
}

namespace {

const char* CyrillicOf(char latin) {
    for (size_t i = 0; i < LookAlikeCount; ++i)
        if (LookAlikes[i].latin == latin) return LookAlikes[i].cyrillic;
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
