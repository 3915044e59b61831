// The glyph font table: its record structure, the codes and widths, the fixed glyphs and the
// rows on which letters and digits stand.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/reset.h"
#include "peripherals/lcd_renderer.h"

namespace {

struct Glyph {
    int code = 0, pages = 0, width = 0;
    std::vector<uint8_t> record;  // header and bitmap as stored
    bool Ink(int x, int y) const { return ((record[4 + (y / 8) * width + x] >> (y % 8)) & 1) != 0; }
    // First and last row with ink (first > last when the glyph is blank).
    int TopRow() const {
        for (int y = 0; y < 8 * pages; ++y)
            for (int x = 0; x < width; ++x)
                if (Ink(x, y)) return y;
        return 1000;
    }
    int BottomRow() const {
        for (int y = 8 * pages - 1; y >= 0; --y)
            for (int x = 0; x < width; ++x)
                if (Ink(x, y)) return y;
        return -1;
    }
    std::vector<uint8_t> Bitmap() const { return {record.begin() + 4, record.end()}; }
};

// Walks the table as the renderer does; stops at the end byte or where a record would run
// past the table.
std::vector<Glyph> Records(size_t* endOffset = nullptr) {
    std::vector<Glyph> glyphs;
    size_t at = 0;
    while (at < GlyphFontSize && GlyphFont[at] != 0) {
        const size_t n = GlyphFont[at];
        if (at + 4 + n > GlyphFontSize) break;
        Glyph g;
        g.code = GlyphFont[at + 1];
        g.pages = GlyphFont[at + 2];
        g.width = GlyphFont[at + 3];
        g.record.assign(GlyphFont + at, GlyphFont + at + 4 + n);
        glyphs.push_back(g);
        at += 4 + n;
    }
    if (endOffset) *endOffset = at;
    return glyphs;
}

std::map<int, Glyph> ByCode() {
    std::map<int, Glyph> m;
    for (const Glyph& g : Records()) m.emplace(g.code, g);
    return m;
}

std::string Hex(int code) {
    char buf[8];
    snprintf(buf, sizeof buf, "0x%02X", code);
    return buf;
}

// Codes by class of character.
std::vector<int> Range(int first, int last) {
    std::vector<int> v;
    for (int c = first; c <= last; ++c) v.push_back(c);
    return v;
}
const std::vector<int> Digits = Range('0', '9');
const std::vector<int> LatinCapitals = Range('A', 'Z');
const std::vector<int> LatinSmall = Range('a', 'z');
const std::vector<int> CyrillicCapitals = Range(0xC0, 0xDF);
const std::vector<int> CyrillicSmall = Range(0xE0, 0xFF);

// Letters that reach below the base line, and small letters that rise above the x-height.
const std::set<int> Descenders = {'Q',  'J',  'g',  'j',  'p',  'q',  'y',  0xC4,
                                  0xD6, 0xD9, 0xE4, 0xF0, 0xF3, 0xF4, 0xF6, 0xF9};
const std::set<int> Ascenders = {'b', 'd', 'f', 'h', 'i', 'j', 'k', 'l', 't', 0xE1, 0xE9, 0xF4};

class GlyphFontTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSimulator(); }
};

TEST_F(GlyphFontTest, RecordsCodesAndSize) {
    size_t end = 0;
    const std::vector<Glyph> glyphs = Records(&end);
    EXPECT_EQ(glyphs.size(), 166u);
    EXPECT_EQ(GlyphFontSize, 6614u);
    ASSERT_EQ(end + 1, GlyphFontSize) << "records must end with a single 0 byte";
    EXPECT_EQ(GlyphFont[end], 0);

    std::vector<int> expected = {0x01, 0x02, 0x1D, 0x1E, 0x1F};
    for (int c = 0x20; c <= 0x7E; ++c) expected.push_back(c);
    expected.push_back(0xB5);
    expected.push_back(0xB9);
    for (int c = 0xC0; c <= 0xFF; ++c) expected.push_back(c);
    std::vector<int> codes;
    for (const Glyph& g : glyphs) {
        codes.push_back(g.code);
        EXPECT_EQ(g.pages, 3) << Hex(g.code);
        EXPECT_EQ(g.record[0], g.pages * g.width) << Hex(g.code);
    }
    EXPECT_EQ(codes, expected) << "ascending, each code once";
}

TEST_F(GlyphFontTest, WidthsFollowTheWidthTable) {
    const std::map<int, std::vector<int>> table = {
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
    const std::map<int, Glyph> font = ByCode();
    size_t listed = 0;
    for (const auto& [width, codes] : table) {
        for (int code : codes) {
            ++listed;
            const auto it = font.find(code);
            ASSERT_NE(it, font.end()) << Hex(code);
            EXPECT_EQ(it->second.width, width) << Hex(code);
        }
    }
    EXPECT_EQ(listed, font.size()) << "every glyph has a width in the table";
}

TEST_F(GlyphFontTest, FixedGlyphsByteForByte) {
    const std::map<int, std::vector<uint8_t>> fixed = {
        {0x01,
         {0x27, 0x01, 0x03, 0x0d, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xf0, 0x00, 0x00, 0x00, 0x00,
          0x00, 0x00, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x7f, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02,
          0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02}},
        {0x02,
         {0x27, 0x02, 0x03, 0x0d, 0x00, 0x00, 0x00, 0x80, 0x80, 0xf8, 0xf8, 0x18, 0x18, 0xf8, 0xf8,
          0x80, 0x80, 0x00, 0x00, 0x00, 0xff, 0xff, 0x01, 0x01, 0x00, 0x00, 0x01, 0x01, 0xff, 0xff,
          0x00, 0x00, 0x00, 0x7f, 0x7f, 0x60, 0x60, 0x60, 0x60, 0x60, 0x60, 0x7f, 0x7f}},
        {0x5E, {0x1b, 0x5e, 0x03, 0x09, 0x00, 0x20, 0x20, 0x20, 0x00, 0x08, 0x84,
                0x44, 0x38, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x02, 0x02, 0x02,
                0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
        {0x7E, {0x1b, 0x7e, 0x03, 0x09, 0x00, 0x20, 0x20, 0x20, 0x00, 0x00, 0x08,
                0xfc, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x03, 0x02,
                0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
        {0x2E,
         {0x18, 0x2e, 0x03, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
          0x00, 0x00, 0x00, 0x00, 0xc0, 0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
    };
    const std::map<int, Glyph> font = ByCode();
    for (const auto& [code, bytes] : fixed) {
        ASSERT_TRUE(font.count(code)) << Hex(code);
        EXPECT_EQ(font.at(code).record, bytes) << Hex(code);
    }
    // The space is three blank columns.
    const Glyph& space = font.at(0x20);
    EXPECT_EQ(space.TopRow(), 1000);
}

TEST_F(GlyphFontTest, LettersAndDigitsStandOnTheirRows) {
    const std::map<int, Glyph> font = ByCode();
    struct Class {
        const char* name;
        const std::vector<int>* codes;
        int top, bottom;  // rows of the body
    };
    const Class classes[] = {
        {"digit", &Digits, 4, 15},
        {"Latin capital", &LatinCapitals, 4, 15},
        {"Cyrillic capital", &CyrillicCapitals, 4, 15},
        {"Latin small letter", &LatinSmall, 7, 15},
        {"Cyrillic small letter", &CyrillicSmall, 7, 15},
    };
    for (const Class& k : classes) {
        for (int code : *k.codes) {
            const Glyph& g = font.at(code);
            const std::string what = std::string(k.name) + " " + Hex(code);
            // The base line: every letter has ink on row 15; only descenders go further.
            bool onBaseRow = false;
            for (int x = 0; x < g.width; ++x) onBaseRow |= g.Ink(x, k.bottom);
            EXPECT_TRUE(onBaseRow) << what;
            if (Descenders.count(code)) {
                EXPECT_GT(g.BottomRow(), 15) << what;
                EXPECT_LE(g.BottomRow(), 19) << what;
            } else {
                EXPECT_EQ(g.BottomRow(), k.bottom) << what;
            }
            if (code == 0xC9) {  // Й carries its breve above the capitals' height
                EXPECT_LT(g.TopRow(), 4) << what;
                EXPECT_GE(g.TopRow(), 1) << what;
            } else if (Ascenders.count(code)) {
                EXPECT_LT(g.TopRow(), 7) << what;
                EXPECT_GE(g.TopRow(), 3) << what;
            } else {
                EXPECT_EQ(g.TopRow(), k.top) << what;
            }
        }
    }
}

TEST_F(GlyphFontTest, OnlyTheBatteryInksTheCursorRows) {
    for (const Glyph& g : Records()) {
        for (int y = 21; y < 24; ++y)
            for (int x = 0; x < g.width; ++x) {
                const bool allowed = g.code == 0x02 && y <= 22;
                if (!allowed) {
                    EXPECT_FALSE(g.Ink(x, y)) << Hex(g.code) << " row " << y;
                }
            }
    }
    const Glyph battery = ByCode().at(0x02);
    EXPECT_EQ(battery.BottomRow(), 22);
}

TEST_F(GlyphFontTest, NoStrayPixels) {
    // Every ink pixel touches another one (also diagonally): no specks from rasterising.
    for (const Glyph& g : Records()) {
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < g.width; ++x) {
                if (!g.Ink(x, y)) continue;
                bool neighbour = false;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = x + dx, ny = y + dy;
                        if ((dx || dy) && nx >= 0 && nx < g.width && ny >= 0 && ny < 24)
                            neighbour |= g.Ink(nx, ny);
                    }
                EXPECT_TRUE(neighbour) << Hex(g.code) << " pixel " << x << "," << y;
            }
    }
}

TEST_F(GlyphFontTest, EveryLetterAndDigitIsDistinct) {
    const std::map<int, Glyph> font = ByCode();
    const std::vector<const std::vector<int>*> scripts[] = {
        {&Digits, &LatinCapitals, &LatinSmall},
        {&Digits, &CyrillicCapitals, &CyrillicSmall},
    };
    for (const auto& script : scripts) {
        std::vector<int> codes;
        for (const auto* group : script) codes.insert(codes.end(), group->begin(), group->end());
        for (size_t i = 0; i < codes.size(); ++i)
            for (size_t j = i + 1; j < codes.size(); ++j)
                EXPECT_NE(font.at(codes[i]).Bitmap(), font.at(codes[j]).Bitmap())
                    << Hex(codes[i]) << " looks like " << Hex(codes[j]);
    }
}

TEST_F(GlyphFontTest, CyrillicLettersWithLatinShapesMatchTheirLatinTwins) {
    // Catches a Cyrillic alphabet shifted against its codes.
    const std::pair<int, int> twins[] = {
        {0xC0, 'A'}, {0xC2, 'B'}, {0xC5, 'E'}, {0xCC, 'M'}, {0xCD, 'H'}, {0xCE, 'O'},
        {0xD0, 'P'}, {0xD1, 'C'}, {0xD2, 'T'}, {0xD5, 'X'}, {0xE0, 'a'}, {0xE5, 'e'},
        {0xEE, 'o'}, {0xF0, 'p'}, {0xF1, 'c'}, {0xF5, 'x'},
    };
    const std::map<int, Glyph> font = ByCode();
    for (const auto& [cyrillic, latin] : twins)
        EXPECT_EQ(font.at(cyrillic).Bitmap(), font.at(latin).Bitmap()) << Hex(cyrillic);
}

TEST_F(GlyphFontTest, WideGlyphsReachPastTheCell) {
    // The arrow and the cross are wider than a cell; the renderer shows their first 14 columns.
    const std::map<int, Glyph> font = ByCode();
    for (int code : {0x1D, 0x1F}) {
        const Glyph& g = font.at(code);
        bool beyond = false;
        for (int y = 0; y < 24; ++y)
            for (int x = 14; x < g.width; ++x) beyond |= g.Ink(x, y);
        EXPECT_TRUE(beyond) << Hex(code);
    }
}

}  // namespace
