#include "voice_texts.h"

#include <vector>

// The table, built into the program (resources/embed.S.in), with a 0 byte after it.
extern "C" const char VoiceTextsData[];
extern "C" const uint32_t VoiceTextsDataSize;

namespace {

const std::vector<std::string>& Table() {
    static const std::vector<std::string> table = [] {
        std::vector<std::string> t(256);
        const std::string all(VoiceTextsData, VoiceTextsDataSize);
        size_t pos = 0;
        while (pos < all.size()) {
            size_t end = all.find('\n', pos);
            if (end == std::string::npos) end = all.size();
            std::string line = all.substr(pos, end - pos);
            pos = end + 1;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const size_t tab = line.find('\t');
            if (tab == 0 || tab == std::string::npos || tab > 3) continue;
            unsigned n = 0;
            bool digits = true;
            for (size_t i = 0; i < tab; ++i) {
                digits = digits && line[i] >= '0' && line[i] <= '9';
                n = n * 10 + static_cast<unsigned>(line[i] - '0');
            }
            if (digits && n < t.size()) t[n] = line.substr(tab + 1);
        }
        return t;
    }();
    return table;
}

}  // namespace

const std::string& VoiceMessageText(uint8_t n) {
    return Table()[n];
}

std::string SpokenWords(const std::string& text) {
    std::string out;
    bool gap = false;
    for (size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        uint32_t cp = b;
        size_t n = 1;
        if (b >= 0xC0 && b < 0xE0 && i + 1 < text.size()) {
            cp = (b & 0x1Fu) << 6 | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu);
            n = 2;
        } else if (b >= 0xE0) {
            n = b < 0xF0 ? 3 : 4;  // no letter of the table lies there: a gap
            cp = 0;
        }
        i += n;
        // Lower case: A-Z, А-Я (U+0410-042F), Ё (U+0401) and ё (U+0451) as е.
        if (cp >= 'A' && cp <= 'Z') cp += 0x20;
        if (cp >= 0x0410 && cp <= 0x042F) cp += 0x20;
        if (cp == 0x0401 || cp == 0x0451) cp = 0x0435;
        const bool letter =
            (cp >= 'a' && cp <= 'z') || (cp >= '0' && cp <= '9') || (cp >= 0x0430 && cp <= 0x044F);
        if (!letter) {
            gap = !out.empty();
            continue;
        }
        if (gap) out.push_back(' ');
        gap = false;
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

namespace {

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    const std::string spoken = SpokenWords(text);
    size_t pos = 0;
    while (pos < spoken.size()) {
        size_t end = spoken.find(' ', pos);
        if (end == std::string::npos) end = spoken.size();
        words.push_back(spoken.substr(pos, end - pos));
        pos = end + 1;
    }
    return words;
}

// A message's words; one the table does not hold is "<message N>", as failures show it.
std::string MessageWords(uint8_t n) {
    const std::string& t = VoiceMessageText(n);
    return t.empty() ? "<message " + std::to_string(n) + ">" : t;
}

bool MessageToken(const std::string& token, unsigned& n) {
    if (token.size() < 2 || token.size() > 4 || token[0] != '#') return false;
    n = 0;
    for (size_t i = 1; i < token.size(); ++i) {
        if (token[i] < '0' || token[i] > '9') return false;
        n = n * 10 + static_cast<unsigned>(token[i] - '0');
    }
    return n < 256;
}

}  // namespace

bool SaidMatches(const std::string& pattern, const std::vector<uint8_t>& said) {
    // The pattern as a sequence of words, with "" for a "*".
    std::vector<std::string> want;
    std::string literal;
    const auto flush = [&] {
        for (std::string& w : Words(literal)) want.push_back(std::move(w));
        literal.clear();
    };
    size_t pos = 0;
    while (pos < pattern.size()) {
        size_t end = pattern.find_first_of(" \t", pos);
        if (end == std::string::npos) end = pattern.size();
        const std::string token = pattern.substr(pos, end - pos);
        pos = end + 1;
        unsigned n;
        if (token == "*") {
            flush();
            want.emplace_back();
        } else if (MessageToken(token, n)) {
            flush();
            for (std::string& w : Words(MessageWords(static_cast<uint8_t>(n))))
                want.push_back(std::move(w));
        } else {
            literal += token + " ";
        }
    }
    flush();
    std::string text;
    for (uint8_t n : said) text += MessageWords(n) + " ";
    const std::vector<std::string> heard = Words(text);

    // Words against words, "*" taking any run of them: the usual wildcard match, each "*"
    // tried from its shortest run up by going back to the last one.
    size_t w = 0, h = 0, star = std::string::npos, starHeard = 0;
    while (h < heard.size()) {
        if (w < want.size() && !want[w].empty() && want[w] == heard[h]) {
            ++w, ++h;
        } else if (w < want.size() && want[w].empty()) {
            star = w++;
            starHeard = h;
        } else if (star != std::string::npos) {
            w = star + 1;
            h = ++starHeard;
        } else {
            return false;
        }
    }
    while (w < want.size() && want[w].empty()) ++w;
    return w == want.size();
}
