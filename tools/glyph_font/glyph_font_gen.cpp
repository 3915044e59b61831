// Glyph font generator: rasterises a Cyrillic serif font with FreeType into the LCD's
// 24-row glyph records and writes them as a C++ source file holding the byte table GlyphFont.
//
//   glyph_font_gen FONT.ttf OUT.cpp [PREVIEW.pgm]
//
// Every glyph is 3 pages (24 rows) high. Letters and digits are hinted for monochrome output
// at 16 pixels a line, so capitals and digits stand on rows 4-15, the x-height is rows 7-15
// and descenders end above row 20; glyphs too wide for their record are narrowed by rendering
// them at a smaller horizontal size, never by dropping columns. The ink is centred on the
// middle of the 14-column cell as far as the record's width allows. The battery outline, the
// plus-minus sign, the two superscripts and the full stop are fixed bitmaps; the arrow and the
// diagonal cross are drawn here, the large question mark is the font's own at a larger size,
// and the numero sign is a narrowed N with a small o drawn beside it.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_MODULE_H

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

constexpr int Rows = 24;
constexpr int Pages = 3;
constexpr int CellColumns = 14;
constexpr int Baseline = 16;      // first row below the letters' base
constexpr int LowestInkRow = 20;  // rows 21-23 belong to the cursor
constexpr int LinePixels = 16;    // vertical pixel size the fonts are rendered at
// The large question mark 0x1E: rows 2-19.
constexpr int LargeQuestionPixels = 24;
constexpr int LargeQuestionBaseline = 20;
// Columns the N of the numero sign may take; the small o and its bar take the last three.
constexpr int NumeroLetterInk = 9;

struct Bitmap {
    int width = 0;
    std::array<std::array<uint8_t, 32>, Rows> ink{};  // [row][column], 1 = ink
};

// Record widths by code.
int WidthOf(int code) {
    static const struct {
        int width;
        std::vector<int> codes;
    } table[] = {
        {3, {0x20}},
        {8, {0x21, 0x27, 0x2C, 0x2E, 0x3A, 0x3B, 0x7C}},
        {9, {0x28, 0x29, 0x5D, 0x5E, 0x60, 0x6A, 0x7E}},
        {10, {0x22, 0x3C, 0x3E, 0x5B, 0x7B, 0x7D}},
        {11, {0x24, 0x2A, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39,
              0x3F, 0x49, 0x66, 0x69, 0x6C, 0x74, 0xE1, 0xE2, 0xE4, 0xEB, 0xFC, 0xFD}},
        {12, {0x23, 0x2B, 0x2D, 0x3D, 0x40, 0x45, 0x4A, 0x4C, 0x50, 0x53, 0x5A, 0x61, 0x62, 0x63,
              0x64, 0x65, 0x67, 0x68, 0x6E, 0x6F, 0x70, 0x71, 0x72, 0x73, 0x75, 0x7A, 0xB5, 0xC3,
              0xC4, 0xC5, 0xC7, 0xCB, 0xD0, 0xD6, 0xDA, 0xDC, 0xDD, 0xDE, 0xE0, 0xE3, 0xE5, 0xE7,
              0xE8, 0xE9, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF3, 0xF4, 0xF6, 0xF7, 0xFA, 0xFE, 0xFF}},
        {13, {0x01, 0x02, 0x25, 0x26, 0x2F, 0x41, 0x42, 0x43, 0x44, 0x46, 0x47, 0x48, 0x4B,
              0x4D, 0x4E, 0x4F, 0x51, 0x52, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5C, 0x5F,
              0x6B, 0x6D, 0x76, 0x77, 0x78, 0x79, 0xB9, 0xC0, 0xC1, 0xC2, 0xC6, 0xC8, 0xC9,
              0xCA, 0xCC, 0xCD, 0xCE, 0xCF, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD7, 0xD8, 0xD9,
              0xDF, 0xE6, 0xEA, 0xEC, 0xF2, 0xF5, 0xF8, 0xF9, 0xFB}},
        {14, {0xDB}},
        {17, {0x1E}},
        {20, {0x1D}},
        {21, {0x1F}},
    };
    for (const auto& row : table)
        if (std::find(row.codes.begin(), row.codes.end(), code) != row.codes.end())
            return row.width;
    return 0;
}

// The font's codes in ascending order.
std::vector<int> Codes() {
    std::vector<int> codes = {0x01, 0x02, 0x1D, 0x1E, 0x1F};
    for (int c = 0x20; c <= 0x7E; ++c) codes.push_back(c);
    codes.push_back(0xB5);
    codes.push_back(0xB9);
    for (int c = 0xC0; c <= 0xFF; ++c) codes.push_back(c);
    return codes;
}

// Unicode character of a font code (Windows-1251 for the Cyrillic letters).
unsigned UnicodeOf(int code) {
    if (code >= 0xC0) return 0x0410 + (code - 0xC0);
    if (code == 0xB5) return 0x00B5;
    if (code == 0xB9) return 0x2116;
    return static_cast<unsigned>(code);
}

// Bitmap from record bytes (pages top to bottom, a byte per column, bit 0 the top row).
Bitmap FromBytes(int width, const std::vector<uint8_t>& bytes) {
    Bitmap b;
    b.width = width;
    for (int y = 0; y < Rows; ++y)
        for (int x = 0; x < width; ++x) b.ink[y][x] = (bytes[(y / 8) * width + x] >> (y % 8)) & 1;
    return b;
}

Bitmap FixedGlyph(int code) {
    switch (code) {
        case 0x01:  // plus-minus
            return FromBytes(
                13, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xf0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                     0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x7f, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02,
                     0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02});
        case 0x02:  // battery outline
            return FromBytes(
                13, {0x00, 0x00, 0x00, 0x80, 0x80, 0xf8, 0xf8, 0x18, 0x18, 0xf8, 0xf8, 0x80, 0x80,
                     0x00, 0x00, 0x00, 0xff, 0xff, 0x01, 0x01, 0x00, 0x00, 0x01, 0x01, 0xff, 0xff,
                     0x00, 0x00, 0x00, 0x7f, 0x7f, 0x60, 0x60, 0x60, 0x60, 0x60, 0x60, 0x7f, 0x7f});
        case 0x5E:  // superscript minus two
            return FromBytes(9, {0x00, 0x20, 0x20, 0x20, 0x00, 0x08, 0x84, 0x44, 0x38,
                                 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x02, 0x02, 0x02,
                                 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
        case 0x7E:  // superscript minus one
            return FromBytes(9, {0x00, 0x20, 0x20, 0x20, 0x00, 0x00, 0x08, 0xfc, 0x00,
                                 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x03, 0x02,
                                 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
        case 0x2E: {  // full stop: rows 14-15 of columns 6-7
            std::vector<uint8_t> bytes(24, 0);
            bytes[8 + 6] = bytes[8 + 7] = 0xc0;
            return FromBytes(8, bytes);
        }
        default:
            return {};
    }
}
bool IsFixed(int code) {
    return code == 0x01 || code == 0x02 || code == 0x5E || code == 0x7E || code == 0x2E;
}

void Set(Bitmap& b, int x, int y) {
    if (x >= 0 && x < b.width && y >= 0 && y <= LowestInkRow) b.ink[y][x] = 1;
}

// Arrow pointing left: a two-row shaft on rows 10-11 from the tip to the last column, the
// head's two strokes running from the tip up and down to rows 4 and 17.
Bitmap DrawArrow() {
    Bitmap b;
    b.width = WidthOf(0x1D);
    for (int x = 1; x < b.width - 1; ++x) Set(b, x, 10), Set(b, x, 11);
    for (int i = 0; i <= 6; ++i) {
        Set(b, 1 + i, 10 - i), Set(b, 2 + i, 10 - i);
        Set(b, 1 + i, 11 + i), Set(b, 2 + i, 11 + i);
    }
    return b;
}

// Diagonal cross: two strokes two pixels thick from corner to corner of rows 0-19.
Bitmap DrawCross() {
    Bitmap b;
    b.width = WidthOf(0x1F);
    for (int i = 0; i < b.width - 1; ++i) {
        Set(b, i, i), Set(b, i + 1, i);
        Set(b, b.width - 1 - i, i), Set(b, b.width - 2 - i, i);
    }
    return b;
}

// A few lines of pixel art: '#' is ink, any other character is not.
void Draw(Bitmap& b, int x, int y, std::initializer_list<const char*> rows) {
    for (const char* row : rows) {
        for (int i = 0; row[i] != 0; ++i)
            if (row[i] == '#') Set(b, x + i, y);
        ++y;
    }
}

struct Rasteriser {
    FT_Library library = nullptr;
    FT_Face face = nullptr;

    // Renders `unicode` hinted for monochrome output at xSize x ySize pixels; returns the
    // ink in a bitmap wide enough for it, with its leftmost ink column and its top row.
    bool Render(unsigned unicode, int xSize, int ySize, int baseline,
                std::vector<std::vector<uint8_t>>& ink, int& top) {
        FT_Set_Pixel_Sizes(face, static_cast<FT_UInt>(xSize), static_cast<FT_UInt>(ySize));
        FT_UInt index = FT_Get_Char_Index(face, unicode);
        if (index == 0) return false;
        if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME))
            return false;
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bm = slot->bitmap;
        ink.assign(bm.rows, std::vector<uint8_t>(bm.width, 0));
        for (unsigned y = 0; y < bm.rows; ++y)
            for (unsigned x = 0; x < bm.width; ++x)
                ink[y][x] = (bm.buffer[y * bm.pitch + x / 8] >> (7 - x % 8)) & 1;
        top = baseline - slot->bitmap_top;
        return true;
    }
};

// Columns of ink in a rendered bitmap: [first, last], or first > last when there is none.
void InkColumns(const std::vector<std::vector<uint8_t>>& ink, int& first, int& last) {
    first = 1 << 20, last = -1;
    for (const auto& row : ink)
        for (int x = 0; x < static_cast<int>(row.size()); ++x)
            if (row[x]) first = std::min(first, x), last = std::max(last, x);
}

// The widest ink a record of `width` columns may carry: one blank column on its right, so
// neighbouring letters never touch.
int MaxInk(int width) {
    return std::min(width, CellColumns - 1);
}

Bitmap RasteriseGlyph(Rasteriser& r, int code, unsigned unicode, int ySize, int baseline,
                      int maxInk, int& usedX) {
    Bitmap b;
    b.width = WidthOf(code);
    std::vector<std::vector<uint8_t>> ink;
    int top = 0, first = 0, last = 0;
    usedX = ySize;
    for (;; --usedX) {
        if (!r.Render(unicode, usedX, ySize, baseline, ink, top)) {
            std::fprintf(stderr, "no glyph for code 0x%02X (U+%04X)\n", code, unicode);
            std::exit(1);
        }
        InkColumns(ink, first, last);
        if (last < first || last - first + 1 <= maxInk || usedX <= 6) break;
    }
    if (last < first) return b;
    const int inkWidth = last - first + 1;
    // Centre on the cell's middle (between columns 6 and 7), kept inside the record.
    int left = (CellColumns - inkWidth) / 2;
    left = std::max(0, std::min(left, maxInk - inkWidth));
    for (int y = 0; y < static_cast<int>(ink.size()); ++y)
        for (int x = first; x <= last; ++x)
            if (ink[y][x]) {
                const int row = top + y, col = left + x - first;
                if (row < 0 || row > LowestInkRow || col >= b.width) {
                    std::fprintf(stderr, "code 0x%02X: ink at row %d column %d cut\n", code, row,
                                 col);
                    continue;
                }
                b.ink[row][col] = 1;
            }
    return b;
}

std::vector<uint8_t> RecordBytes(int code, const Bitmap& b) {
    std::vector<uint8_t> out = {static_cast<uint8_t>(Pages * b.width), static_cast<uint8_t>(code),
                                Pages, static_cast<uint8_t>(b.width)};
    for (int page = 0; page < Pages; ++page)
        for (int x = 0; x < b.width; ++x) {
            uint8_t byte = 0;
            for (int bit = 0; bit < 8; ++bit)
                if (b.ink[page * 8 + bit][x]) byte |= static_cast<uint8_t>(1 << bit);
            out.push_back(byte);
        }
    return out;
}

std::string Describe(int code, unsigned unicode) {
    char buf[64];
    if (code < 0x20) {
        static const char* names[] = {"", "plus-minus", "battery outline"};
        const char* name = code == 0x1D   ? "arrow pointing left"
                           : code == 0x1E ? "question mark, large"
                           : code == 0x1F ? "diagonal cross"
                                          : names[code];
        std::snprintf(buf, sizeof buf, "%s", name);
    } else if (code == 0x5E || code == 0x7E) {
        std::snprintf(buf, sizeof buf, "superscript minus %s", code == 0x5E ? "two" : "one");
    } else {
        std::snprintf(buf, sizeof buf, "U+%04X", unicode);
    }
    return buf;
}

// What a code shows as text (UTF-8): the character its glyph draws; the two superscripts as
// two characters, the display's one cell for both.
std::string TextOf(int code) {
    switch (code) {
        case 0x01:
            return "\u00B1";  // ±
        case 0x02:
            return "\u25AF";  // ▯ battery outline
        case 0x1D:
            return "\u2190";  // ←
        case 0x1E:
            return "?";
        case 0x1F:
            return "\u00D7";  // ×
        case 0x5E:
            return "\u207B\u00B2";  // ⁻²
        case 0x7E:
            return "\u207B\u00B9";  // ⁻¹
    }
    const unsigned u = UnicodeOf(code);
    std::string text;
    if (u < 0x80) {
        text.push_back(static_cast<char>(u));
    } else if (u < 0x800) {
        text.push_back(static_cast<char>(0xC0 | (u >> 6)));
        text.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    } else {
        text.push_back(static_cast<char>(0xE0 | (u >> 12)));
        text.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    }
    return text;
}

// A C string literal of UTF-8 text.
std::string Literal(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '"' || b == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20 || b == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\%03o", b);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FONT.ttf OUT.cpp [PREVIEW.pgm]\n", argv[0]);
        return 2;
    }
    Rasteriser r;
    if (FT_Init_FreeType(&r.library)) return 1;
    // The classic TrueType interpreter: full hinting in both directions, crisp at 1:1.
    FT_UInt interpreter = 35;
    FT_Property_Set(r.library, "truetype", "interpreter-version", &interpreter);
    if (FT_New_Face(r.library, argv[1], 0, &r.face)) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }

    std::vector<int> codes = Codes();
    std::vector<Bitmap> glyphs;
    std::vector<std::string> notes;
    for (int code : codes) {
        const unsigned unicode = UnicodeOf(code);
        Bitmap b;
        std::string note = Describe(code, unicode);
        if (IsFixed(code)) {
            b = FixedGlyph(code);
        } else if (code == 0x20) {
            b.width = WidthOf(code);
        } else if (code == 0x1D) {
            b = DrawArrow();
        } else if (code == 0x1F) {
            b = DrawCross();
        } else if (code == 0xB9) {
            // Numero sign: the font's own is illegible when squeezed into 13 columns, so it is
            // a narrowed N followed by a raised small o over a bar.
            int usedX = 0;
            b = RasteriseGlyph(r, code, 'N', LinePixels, Baseline, NumeroLetterInk, usedX);
            Draw(b, b.width - 3, 6, {".#.", "#.#", "#.#", "#.#", ".#.", "...", "###"});
        } else if (code == 0x1E) {
            int usedX = 0;
            b = RasteriseGlyph(r, code, '?', LargeQuestionPixels, LargeQuestionBaseline,
                               MaxInk(WidthOf(code)), usedX);
        } else {
            int usedX = 0;
            b = RasteriseGlyph(r, code, unicode, LinePixels, Baseline, MaxInk(WidthOf(code)),
                               usedX);
            if (usedX != LinePixels) note += ", narrowed to " + std::to_string(usedX);
        }
        if (b.width != WidthOf(code)) {
            std::fprintf(stderr, "code 0x%02X: width %d, table %d\n", code, b.width, WidthOf(code));
            return 1;
        }
        glyphs.push_back(b);
        notes.push_back(note);
    }

    FILE* out = std::fopen(argv[2], "w");
    if (!out) return 1;
    std::fprintf(out,
                 "// Generated by tools/glyph_font/glyph_font_gen from %s; do not edit.\n"
                 "// Regenerate with tools/glyph_font/make_glyph_font.sh.\n"
                 "//\n"
                 "// Records laid end to end: byte count (pages x width), code, pages (3), width,\n"
                 "// then the bitmap page by page, a byte per column, bit 0 the page's top row.\n"
                 "// The table ends with a 0 byte where the next byte count would stand.\n"
                 "#include \"peripherals/lcd_renderer.h\"\n\n"
                 "// clang-format off\n"
                 "const uint8_t GlyphFont[] = {\n",
                 FT_Get_Postscript_Name(r.face) ? FT_Get_Postscript_Name(r.face) : argv[1]);
    size_t total = 0;
    for (size_t i = 0; i < codes.size(); ++i) {
        const std::vector<uint8_t> bytes = RecordBytes(codes[i], glyphs[i]);
        std::fprintf(out, "    // 0x%02X %s\n    ", codes[i], notes[i].c_str());
        // The header on a line of its own, then each page, at most 14 bytes a line.
        const size_t width = static_cast<size_t>(glyphs[i].width);
        for (size_t k = 0; k < bytes.size(); ++k) {
            std::fprintf(out, "0x%02x,", bytes[k]);
            const size_t column = k >= 4 ? (k - 4) % width : 0;
            const bool lineEnd = k == 3 || (k > 3 && (column + 1 == width || column == 13));
            if (k + 1 < bytes.size()) std::fprintf(out, lineEnd ? "\n    " : " ");
        }
        std::fprintf(out, "\n");
        total += bytes.size();
    }
    total += 1;
    std::fprintf(out,
                 "    0x00,  // end of the table\n"
                 "};\n"
                 "// clang-format on\n\n"
                 "const uint32_t GlyphFontSize = sizeof GlyphFont;\n");
    // The text of every code: the character of its glyph, a space for a code with none.
    std::vector<std::string> texts(256, " ");
    for (const int code : codes) texts[static_cast<size_t>(code)] = TextOf(code);
    std::fprintf(out,
                 "\n// The UTF-8 text of each code: the character its glyph draws, a space for a\n"
                 "// code without a glyph.\n"
                 "// clang-format off\n"
                 "const char* const GlyphText[256] = {\n");
    for (int code = 0; code < 256; ++code) {
        std::fprintf(out, "%s%s,%s", code % 8 == 0 ? "    " : " ",
                     Literal(texts[static_cast<size_t>(code)]).c_str(), code % 8 == 7 ? "\n" : "");
    }
    std::fprintf(out, "};\n// clang-format on\n");
    std::fclose(out);
    std::fprintf(stderr, "%zu records, %zu bytes\n", codes.size(), total);

    if (argc > 3) {
        // Preview: 16 glyphs a row, each in a 14 x 24 cell (wider glyphs shown cut, as the
        // LCD shows them), magnified 4 times, grey cell background.
        constexpr int Scale = 4, PerRow = 16, CellW = 15, CellH = 25;
        const int rowsOfCells = static_cast<int>((codes.size() + PerRow - 1) / PerRow);
        const int w = PerRow * CellW * Scale, h = rowsOfCells * CellH * Scale;
        std::vector<uint8_t> img(static_cast<size_t>(w) * h, 255);
        for (size_t i = 0; i < codes.size(); ++i) {
            const int cx = static_cast<int>(i % PerRow) * CellW,
                      cy = static_cast<int>(i / PerRow) * CellH;
            for (int y = 0; y < Rows; ++y)
                for (int x = 0; x < CellColumns; ++x) {
                    const bool inRecord = x < glyphs[i].width;
                    const uint8_t v = inRecord && glyphs[i].ink[y][x] ? 0 : inRecord ? 170 : 215;
                    for (int sy = 0; sy < Scale; ++sy)
                        for (int sx = 0; sx < Scale; ++sx)
                            img[static_cast<size_t>((cy + y) * Scale + sy) * w + (cx + x) * Scale +
                                sx] = v;
                }
        }
        FILE* pgm = std::fopen(argv[3], "wb");
        if (!pgm) return 1;
        std::fprintf(pgm, "P5\n%d %d\n255\n", w, h);
        std::fwrite(img.data(), 1, img.size(), pgm);
        std::fclose(pgm);
    }
    FT_Done_Face(r.face);
    FT_Done_FreeType(r.library);
    return 0;
}
