// The LCD renderer: colours of the lit and unlit display, glyphs and the cursor in the cells,
// the panel picture around them, the picture loader, and no allocation while redrawing.
#include "peripherals/lcd_renderer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "host/reset.h"
#include "host/shell.h"
#include "peripherals/lcd_controller.h"
#include "peripherals/panel_bmp.h"
#include "peripherals/timer_isr.h"

// Every allocation of the test binary goes through here, so a test can count them. Kept out of
// line so that the compiler does not pair an inlined free with the allocation it came from.
namespace {
std::atomic<size_t> AllocationCount{0};
}
__attribute__((noinline)) void* operator new(size_t n) {
    AllocationCount.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
// The no-throw forms too (std::stable_sort's buffer takes one), so that nothing allocated
// by the runtime's own operator new comes back to free().
__attribute__((noinline)) void* operator new(size_t n, const std::nothrow_t&) noexcept {
    AllocationCount.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(n ? n : 1);
}
__attribute__((noinline)) void operator delete(void* p) noexcept {
    std::free(p);
}
__attribute__((noinline)) void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
__attribute__((noinline)) void operator delete(void* p, size_t) noexcept {
    std::free(p);
}

namespace {

using panel_bmp::Rgb;

constexpr Rgb Ink{0, 0, 0};
constexpr Rgb UnlitFrame{150, 150, 150}, UnlitCell{128, 128, 128};
constexpr Rgb LitFrame{0, 250, 0}, LitCell{0, 200, 0};

Rgb Pixel(int x, int y) {
    const uint8_t* p = PanelFrame + (static_cast<size_t>(y) * PanelWidth + x) * 3;
    return {p[0], p[1], p[2]};
}

std::string Str(Rgb c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "(%d,%d,%d)", c.r, c.g, c.b);
    return buf;
}

// Cell origins as the display is laid out: 12 columns 15 pixels apart, two lines 30 apart.
int OriginX(int cell) {
    return 35 + 15 * (cell % 12);
}
int OriginY(int cell) {
    return 119 + 30 * (cell / 12);
}

bool InLcdRect(int x, int y) {
    return x >= 32 && x <= 216 && y >= 112 && y <= 178;
}

// The cell whose 14 x 24 box holds (x, y), or -1.
int CellAt(int x, int y) {
    for (int i = 0; i < 24; ++i)
        if (x >= OriginX(i) && x < OriginX(i) + 14 && y >= OriginY(i) && y < OriginY(i) + 24)
            return i;
    return -1;
}

// Reads a glyph record from the font table: width and pixel (x, y), or width 0 when the code
// has no record.
struct FontGlyph {
    int width = 0;
    const uint8_t* bitmap = nullptr;
    bool Ink(int x, int y) const { return (bitmap[(y / 8) * width + x] >> (y % 8)) & 1; }
};
FontGlyph Find(uint8_t code) {
    for (uint32_t at = 0; at < GlyphFontSize && GlyphFont[at] != 0; at += 4 + GlyphFont[at])
        if (GlyphFont[at + 1] == code) return {GlyphFont[at + 3], GlyphFont + at + 4};
    return {};
}

class LcdRendererTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSimulator();
        InitLcdView();
    }
    void TearDown() override { ResetSimulator(); }

    static void Show(int cell, uint8_t code) { LcdCells[cell].store(code); }
    static void CursorAt(int32_t position) {
        LcdPosition.store(position);
        LcdCursorOn.store(1);
    }

    // What the box of `cell` must show for `code`: the glyph's pixels in its first
    // min(width, 14) columns, the cell colour elsewhere; with the cursor (and a glyph) the bottom
    // three rows inked across all 14 columns. Returns the number of wrong pixels, reporting
    // the first one.
    static int CheckCell(int cell, uint8_t code, bool cursor, Rgb cellColour) {
        const FontGlyph g = Find(code);
        const int shown = g.width < 14 ? g.width : 14;
        int wrong = 0;
        for (int dy = 0; dy < 24; ++dy)
            for (int dx = 0; dx < 14; ++dx) {
                Rgb want = cellColour;
                if (g.width > 0 && cursor && dy >= 21)
                    want = Ink;
                else if (dx < shown && g.Ink(dx, dy))
                    want = Ink;
                const Rgb got = Pixel(OriginX(cell) + dx, OriginY(cell) + dy);
                if (got != want && wrong++ == 0)
                    ADD_FAILURE() << "cell " << cell << " code " << int(code) << " pixel " << dx
                                  << "," << dy << " is " << Str(got) << ", want " << Str(want);
            }
        return wrong;
    }
};

TEST_F(LcdRendererTest, BlankScreenColoursFollowTheBacklight) {
    // After InitLcdView: unlit, then lit and unlit again, each from the next redraw on.
    const struct {
        uint32_t backlight;
        Rgb frame, cell;
    } steps[] = {{0, UnlitFrame, UnlitCell}, {1, LitFrame, LitCell}, {0, UnlitFrame, UnlitCell}};
    bool first = true;
    for (const auto& s : steps) {
        BacklightOn.store(s.backlight);
        if (!first) RedrawLcd();
        first = false;
        int wrong = 0;
        for (int y = 112; y <= 178; ++y)
            for (int x = 32; x <= 216; ++x) {
                const Rgb want = CellAt(x, y) >= 0 ? s.cell : s.frame;
                if (Pixel(x, y) != want && wrong++ == 0)
                    ADD_FAILURE() << "backlight " << s.backlight << " pixel " << x << "," << y
                                  << " is " << Str(Pixel(x, y)) << ", want " << Str(want);
            }
        EXPECT_EQ(wrong, 0) << "backlight " << s.backlight;
        for (int i = 0; i < 24; ++i) EXPECT_EQ(Pixel(OriginX(i), OriginY(i)), s.cell) << i;
    }
}

TEST_F(LcdRendererTest, InitLcdViewSetsGeometryControllerAndButtons) {
    EXPECT_EQ(LcdRect.left, 32);
    EXPECT_EQ(LcdRect.top, 112);
    EXPECT_EQ(LcdRect.width, 185);
    EXPECT_EQ(LcdRect.height, 67);
    const struct {
        int cell, x, y;
    } origins[] = {{0, 35, 119}, {1, 50, 119}, {11, 200, 119}, {12, 35, 149}, {23, 200, 149}};
    for (const auto& o : origins) {
        EXPECT_EQ(LcdCellOrigins[o.cell].x, o.x) << o.cell;
        EXPECT_EQ(LcdCellOrigins[o.cell].y, o.y) << o.cell;
    }
    for (int i = 0; i < 24; ++i) {
        EXPECT_EQ(LcdCellOrigins[i].x, OriginX(i)) << i;
        EXPECT_EQ(LcdCellOrigins[i].y, OriginY(i)) << i;
        EXPECT_EQ(LcdCells[i].load(), 0x20) << i;
    }
    EXPECT_EQ(LcdPosition.load(), 0);
    EXPECT_EQ(LcdCursorOn.load(), 0);
    const ButtonRecord power{0, 36, 308, 66, 278}, mode{1, 82, 308, 112, 278};
    for (const auto& [got, want] : {std::pair{ButtonTable[0], power}, {ButtonTable[1], mode}}) {
        EXPECT_EQ(got.index, want.index);
        EXPECT_EQ(got.left, want.left);
        EXPECT_EQ(got.bottom, want.bottom);
        EXPECT_EQ(got.right, want.right);
        EXPECT_EQ(got.top, want.top);
    }
}

TEST_F(LcdRendererTest, CellsShowTheirGlyphsAndTheCursor) {
    const struct {
        const char* what;
        int cell;
        uint8_t code;
        bool cursor;
    } cases[] = {
        {"capital", 0, 'A', false},
        {"small letter with descender", 3, 'y', false},
        {"Cyrillic capital", 11, 0xDF, false},
        {"widest cell glyph", 12, 0xDB, false},
        {"battery uses the cursor rows", 23, 0x02, false},
        {"battery under the cursor", 23, 0x02, true},
        {"cursor under a space is 14 x 3", 5, 0x20, true},
        {"cursor under a letter", 17, 0xC6, true},
        {"arrow cut to 14 columns", 11, 0x1D, false},
        {"question mark cut to 14 columns", 12, 0x1E, true},
        {"cross cut to 14 columns", 23, 0x1F, false},
        {"no glyph 0x00, no cursor", 4, 0x00, true},
        {"no glyph 0x03, no cursor", 4, 0x03, true},
        {"no glyph 0x80, no cursor", 11, 0x80, true},
    };
    for (const Rgb cellColour : {UnlitCell, LitCell}) {
        BacklightOn.store(cellColour == LitCell ? 1 : 0);
        const Rgb frame = cellColour == LitCell ? LitFrame : UnlitFrame;
        for (const auto& c : cases) {
            for (auto& cell : LcdCells) cell.store(0x20);
            Show(c.cell, c.code);
            if (c.cursor)
                CursorAt(c.cell);
            else
                LcdCursorOn.store(0);
            RedrawLcd();
            EXPECT_EQ(CheckCell(c.cell, c.code, c.cursor, cellColour), 0) << c.what;
            // Nothing spills into the gap right of the box or below it.
            for (int dy = 0; dy < 24; ++dy)
                EXPECT_EQ(Pixel(OriginX(c.cell) + 14, OriginY(c.cell) + dy), frame) << c.what;
            for (int dx = 0; dx < 14; ++dx)
                EXPECT_EQ(Pixel(OriginX(c.cell) + dx, OriginY(c.cell) + 24), frame) << c.what;
            // The other cells stay blank spaces without a cursor.
            const int other = c.cell == 0 ? 1 : c.cell - 1;
            EXPECT_EQ(CheckCell(other, 0x20, false, cellColour), 0) << c.what;
        }
    }
}

TEST_F(LcdRendererTest, NoCursorOutsideTheCellsOrWhenSwitchedOff) {
    const struct {
        int32_t position, cursorOn;
    } cases[] = {{24, 1}, {25, 1}, {75, 1}, {3, 0}, {23, 0}};
    for (const auto& c : cases) {
        LcdPosition.store(c.position);
        LcdCursorOn.store(c.cursorOn);
        RedrawLcd();
        int inked = 0;
        for (int y = 112; y <= 178; ++y)
            for (int x = 32; x <= 216; ++x) inked += Pixel(x, y) == Ink;
        EXPECT_EQ(inked, 0) << "position " << c.position << " cursor " << c.cursorOn;
    }
    // The same screen with the cursor on cell 23 has exactly one 14 x 3 bar.
    CursorAt(23);
    RedrawLcd();
    int inked = 0;
    for (int y = 112; y <= 178; ++y)
        for (int x = 32; x <= 216; ++x) inked += Pixel(x, y) == Ink;
    EXPECT_EQ(inked, 14 * 3);
}

TEST_F(LcdRendererTest, PictureShowsAroundTheDisplay) {
    const panel_bmp::Picture picture = panel_bmp::Carried();
    ASSERT_TRUE(picture.ok) << "resources/panel.bmp is carried in the program";
    ASSERT_EQ(PanelWidth, picture.width);
    ASSERT_EQ(PanelHeight, picture.Rows());
    BacklightOn.store(1);
    for (int i = 0; i < 24; ++i) Show(i, static_cast<uint8_t>('A' + i));
    CursorAt(7);
    RedrawLcd();
    int wrong = 0;
    for (int y = 0; y < PanelHeight; ++y)
        for (int x = 0; x < PanelWidth; ++x)
            if (!InLcdRect(x, y) && Pixel(x, y) != picture.At(x, y) && wrong++ == 0)
                ADD_FAILURE() << "pixel " << x << "," << y;
    EXPECT_EQ(wrong, 0);
}

TEST_F(LcdRendererTest, RepeatedRedrawsAllocateNothing) {
    const size_t probe = AllocationCount.load();
    // Through a volatile pointer: an optimiser may drop an allocation whose result is only
    // deleted, even a direct call of the operator.
    void* volatile block = ::operator new(sizeof(int));
    ::operator delete(block);
    ASSERT_EQ(AllocationCount.load(), probe + 1) << "the counter sees allocations";

    for (int i = 0; i < 24; ++i) Show(i, static_cast<uint8_t>(0xC0 + i));
    CursorAt(4);
    const size_t before = AllocationCount.load();
    for (int i = 0; i < 50; ++i) {
        BacklightOn.store(static_cast<uint32_t>(i & 1));
        RedrawLcd();
    }
    const size_t after = AllocationCount.load();
    EXPECT_EQ(after, before);
}

// --- The picture loader ------------------------------------------------------------------

class PanelPictureLoaderTest : public LcdRendererTest {};

Rgb Pattern(int x, int y) {
    return {static_cast<uint8_t>(x * 7), static_cast<uint8_t>(y * 5), static_cast<uint8_t>(x + y)};
}

TEST_F(PanelPictureLoaderTest, UnusableImagesGiveAPlainFullSizeFace) {
    std::vector<uint8_t> good = panel_bmp::Make(8, 4, Pattern);
    std::vector<uint8_t> truncatedPixels(good.begin(), good.end() - 1);
    std::vector<uint8_t> badMagic = good;
    badMagic[0] = 'X';
    std::vector<uint8_t> offsetPastEnd = good;
    offsetPastEnd[10] = 0xFF;
    offsetPastEnd[11] = 0xFF;
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"empty", {}},
        {"header only in part", std::vector<uint8_t>(good.begin(), good.begin() + 30)},
        {"pixel rows cut short", truncatedPixels},
        {"not a BMP", badMagic},
        {"pixel offset past the end", offsetPastEnd},
        {"32 bits per pixel", panel_bmp::Make(8, 4, Pattern, 32)},
        {"8 bits per pixel", panel_bmp::Make(8, 4, Pattern, 8)},
        {"run-length compressed", panel_bmp::Make(8, 4, Pattern, 24, 1)},
        {"zero width", panel_bmp::Make(0, 4, Pattern)},
        {"zero height", panel_bmp::Make(8, 0, Pattern)},
        {"huge height, few bytes",
         [&] {
             std::vector<uint8_t> f = good;
             f[22] = 0x00, f[23] = 0x00, f[24] = 0x00, f[25] = 0x40;  // 2^30 rows
             return f;
         }()},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(LoadPanelPicture(c.bytes.data(), static_cast<uint32_t>(c.bytes.size())))
            << c.what;
        RedrawLcd();
        EXPECT_EQ(PanelWidth, PanelMaxWidth) << c.what;
        EXPECT_EQ(PanelHeight, PanelMaxHeight) << c.what;
        const Rgb face = Pixel(0, 0);
        EXPECT_GT(face.r, 150) << c.what << ": light grey";
        EXPECT_TRUE(face.r == face.g && face.g == face.b) << c.what << ": grey";
        EXPECT_EQ(Pixel(250, 443), face) << c.what;
        EXPECT_EQ(Pixel(31, 200), face) << c.what;
        EXPECT_EQ(Pixel(OriginX(0), OriginY(0)), UnlitCell) << c.what;
    }
    EXPECT_FALSE(LoadPanelPicture(nullptr, 100));
}

TEST_F(PanelPictureLoaderTest, RowsComeOutTopToBottomInRgb) {
    for (const int32_t height : {5, -5}) {  // bottom-up and top-down files
        const std::vector<uint8_t> f = panel_bmp::Make(7, height, Pattern);
        ASSERT_TRUE(LoadPanelPicture(f.data(), static_cast<uint32_t>(f.size()))) << height;
        EXPECT_EQ(PanelWidth, 7);
        EXPECT_EQ(PanelHeight, 5);
        std::memset(PanelFrame, 0xEE, sizeof PanelFrame);
        RedrawLcd();
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x)
                EXPECT_EQ(Pixel(x, y), Pattern(x, y)) << height << " at " << x << "," << y;
        // The display lies outside this small picture: nothing is drawn past its pixels.
        for (size_t i = 7 * 5 * 3; i < sizeof PanelFrame; ++i)
            if (PanelFrame[i] != 0xEE) {
                ADD_FAILURE() << "frame byte " << i << " written";
                break;
            }
    }
}

TEST_F(PanelPictureLoaderTest, LargerPicturesAreClippedToTheFrame) {
    const std::vector<uint8_t> f = panel_bmp::Make(PanelMaxWidth + 9, PanelMaxHeight + 3, Pattern);
    ASSERT_TRUE(LoadPanelPicture(f.data(), static_cast<uint32_t>(f.size())));
    EXPECT_EQ(PanelWidth, PanelMaxWidth);
    EXPECT_EQ(PanelHeight, PanelMaxHeight);
    RedrawLcd();
    EXPECT_EQ(Pixel(PanelMaxWidth - 1, 0), Pattern(PanelMaxWidth - 1, 0));
    EXPECT_EQ(Pixel(3, PanelMaxHeight - 1), Pattern(3, PanelMaxHeight - 1));
    EXPECT_EQ(Pixel(OriginX(0), OriginY(0)), UnlitCell);
}

TEST_F(PanelPictureLoaderTest, ResetBringsBackTheCarriedPicture) {
    const std::vector<uint8_t> f = panel_bmp::Make(7, 5, Pattern);
    ASSERT_TRUE(LoadPanelPicture(f.data(), static_cast<uint32_t>(f.size())));
    ResetSimulator();
    InitLcdView();
    const panel_bmp::Picture picture = panel_bmp::Carried();
    ASSERT_TRUE(picture.ok);
    EXPECT_EQ(PanelWidth, picture.width);
    EXPECT_EQ(Pixel(0, 0), picture.At(0, 0));
    EXPECT_EQ(Pixel(PanelWidth - 1, PanelHeight - 1), picture.At(PanelWidth - 1, PanelHeight - 1));
}

}  // namespace
