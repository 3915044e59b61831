#include <algorithm>

#include "ui_font.h"

namespace {

// The next code point of UTF-8 `text` at `i` (advancing it); U+FFFD for a broken sequence.
uint32_t NextCode(const std::string& text, size_t& i) {
    const auto b = static_cast<unsigned char>(text[i++]);
    if (b < 0x80) return b;
    int more = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
    uint32_t code = b & (0x3Fu >> more);
    if (more == 0) return 0xFFFD;
    for (; more > 0 && i < text.size(); --more) {
        code = code << 6 | (static_cast<unsigned char>(text[i++]) & 0x3Fu);
    }
    return code;
}

const UiGlyph* GlyphOf(uint32_t code) {
    const UiGlyph* end = UiGlyphs + UiGlyphCount;
    const UiGlyph* g = std::lower_bound(UiGlyphs, end, code,
                                        [](const UiGlyph& a, uint32_t c) { return a.code < c; });
    if (g != end && g->code == code) return g;
    return code == '?' ? nullptr : GlyphOf('?');
}

uint32_t Over(uint32_t under, uint32_t colour, int alpha) {
    uint32_t out = 0xFF000000u;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int a = static_cast<int>(under >> shift & 0xFF),
                  b = static_cast<int>(colour >> shift & 0xFF);
        out |= static_cast<uint32_t>((a * (255 - alpha) + b * alpha) / 255) << shift;
    }
    return out;
}

}  // namespace

int UiTextWidth(const std::string& text) {
    int width = 0;
    for (size_t i = 0; i < text.size();) {
        const UiGlyph* g = GlyphOf(NextCode(text, i));
        if (g) width += g->advance;
    }
    return width;
}

void UiDrawText(std::vector<uint32_t>& image, int w, int h, int x, int y, int size,
                const std::string& text, uint32_t colour) {
    for (size_t i = 0; i < text.size();) {
        const UiGlyph* g = GlyphOf(NextCode(text, i));
        if (!g) continue;
        for (int gy = 0; gy < g->height; ++gy) {
            for (int gx = 0; gx < g->width; ++gx) {
                const int alpha = UiCoverage[g->coverage + static_cast<size_t>(gy * g->width + gx)];
                if (alpha == 0) continue;
                const int px = x + (g->left + gx) * size, py = y + (g->top + gy) * size;
                for (int dy = 0; dy < size; ++dy) {
                    for (int dx = 0; dx < size; ++dx) {
                        const int ox = px + dx, oy = py + dy;
                        if (ox < 0 || oy < 0 || ox >= w || oy >= h) continue;
                        uint32_t& p = image[static_cast<size_t>(oy) * static_cast<size_t>(w) + ox];
                        p = Over(p, colour, alpha);
                    }
                }
            }
        }
        x += g->advance * size;
    }
}

std::vector<std::string> UiWrap(const std::string& text, int width) {
    std::vector<std::string> lines;
    std::string line;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(start, end - start);
        const std::string joined = line.empty() ? word : line + " " + word;
        if (!line.empty() && UiTextWidth(joined) > width) {
            lines.push_back(line);
            line = word;
        } else {
            line = joined;
        }
        start = end + 1;
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}
