// The window's own text: a grey-scale font with the Latin and Cyrillic letters (ui_font.cpp,
// made by tools/ui_font/make_ui_font.sh), drawn into an ARGB image at a whole-pixel size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct UiGlyph {
    uint32_t code;
    int advance, left, top, width, height;
    size_t coverage;  // the first of its width × height bytes in UiCoverage
};
extern const UiGlyph UiGlyphs[];
extern const int UiGlyphCount;
extern const int UiFontHeight;  // one line, in the font's pixels
extern const unsigned char UiCoverage[];

// The width of UTF-8 `text` in the font's pixels (times `size` when drawn).
int UiTextWidth(const std::string& text);
// Draws `text` with its top left at (x, y) of `image` (width w, height h), each font pixel a
// size × size block of `colour` over what is there.
void UiDrawText(std::vector<uint32_t>& image, int w, int h, int x, int y, int size,
                const std::string& text, uint32_t colour);
// Splits `text` at blanks into lines at most `width` font pixels wide.
std::vector<std::string> UiWrap(const std::string& text, int width);
