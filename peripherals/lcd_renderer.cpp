#include "peripherals/lcd_renderer.h"

#include <cstring>

#include "peripherals/lcd_controller.h"
#include "peripherals/timer_isr.h"

int32_t PanelWidth = PanelMaxWidth;
int32_t PanelHeight = PanelMaxHeight;
uint8_t PanelFrame[PanelMaxWidth * PanelMaxHeight * 3];
LcdRectangle LcdRect{};
CellOrigin LcdCellOrigins[24];

namespace {

struct Colour {
    uint8_t r, g, b;
};

constexpr Colour LitFrameColour{0, 250, 0};
constexpr Colour LitCellColour{0, 200, 0};
constexpr Colour UnlitFrameColour{150, 150, 150};
constexpr Colour UnlitCellColour{128, 128, 128};
constexpr Colour InkColour{0, 0, 0};
// Face shown when the carried picture is missing or unreadable.
constexpr Colour PlainFaceColour{200, 200, 200};

constexpr int32_t CellBoxWidth = 14;
constexpr int32_t CursorRows = 3;

// The panel picture decoded once into RGB rows, top to bottom, PanelWidth * 3 bytes a row.
uint8_t PanelPicture[PanelMaxWidth * PanelMaxHeight * 3];
bool PanelPictureLoaded = false;
// The panel picture a front end installed; the first redraw after a reset decodes it again.
const uint8_t* InstalledPanel = nullptr;
uint32_t InstalledPanelSize = 0;

// Colours of the redraw in progress.
Colour FrameColour = UnlitFrameColour;
Colour CellColour = UnlitCellColour;

uint32_t ReadLe(const uint8_t* p, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

// Decodes an uncompressed 24-bit BMP (bottom-up or top-down rows, BGR, rows padded to four
// bytes) into PanelPicture and sets PanelWidth and PanelHeight, a picture larger than the
// frame clipped to its right and bottom. False, with nothing changed, for anything else.
bool DecodePanelBmp(const uint8_t* data, uint32_t size) {
    if (size < 54 || data[0] != 'B' || data[1] != 'M') return false;
    const uint32_t pixelOffset = ReadLe(data + 10, 4);
    const uint32_t headerSize = ReadLe(data + 14, 4);
    if (headerSize < 40) return false;
    const int32_t width = static_cast<int32_t>(ReadLe(data + 18, 4));
    const int32_t rawHeight = static_cast<int32_t>(ReadLe(data + 22, 4));
    const uint32_t planes = ReadLe(data + 26, 2);
    const uint32_t bitsPerPixel = ReadLe(data + 28, 2);
    const uint32_t compression = ReadLe(data + 30, 4);
    if (planes != 1 || bitsPerPixel != 24 || compression != 0) return false;
    if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN) return false;
    const bool bottomUp = rawHeight > 0;
    const int64_t height = bottomUp ? rawHeight : -static_cast<int64_t>(rawHeight);
    const int64_t stride = (static_cast<int64_t>(width) * 3 + 3) / 4 * 4;
    if (pixelOffset > size || stride * height > static_cast<int64_t>(size - pixelOffset))
        return false;

    const int32_t w = width < PanelMaxWidth ? width : PanelMaxWidth;
    const int32_t h = height < PanelMaxHeight ? static_cast<int32_t>(height) : PanelMaxHeight;
    for (int32_t y = 0; y < h; ++y) {
        const int64_t fileRow = bottomUp ? height - 1 - y : y;
        const uint8_t* src = data + pixelOffset + fileRow * stride;
        uint8_t* dst = PanelPicture + static_cast<size_t>(y) * w * 3;
        for (int32_t x = 0; x < w; ++x) {
            dst[x * 3 + 0] = src[x * 3 + 2];
            dst[x * 3 + 1] = src[x * 3 + 1];
            dst[x * 3 + 2] = src[x * 3 + 0];
        }
    }
    PanelWidth = w;
    PanelHeight = h;
    return true;
}

// The installed picture, decoded on first use.
void EnsurePanelPicture() {
    if (!PanelPictureLoaded) LoadPanelPicture(InstalledPanel, InstalledPanelSize);
}

// Where each code's first record starts in GlyphFont, found once by walking the table; a
// record that would run past the table's end ends the walk.
constexpr uint32_t NoGlyph = 0xFFFFFFFF;
struct GlyphIndex {
    uint32_t of[256];
};
const GlyphIndex& GlyphOffsets() {
    static const GlyphIndex index = [] {
        GlyphIndex built{};
        for (uint32_t& o : built.of) o = NoGlyph;
        uint32_t at = 0;
        while (at < GlyphFontSize && GlyphFont[at] != 0 &&
               at + 4 + GlyphFont[at] <= GlyphFontSize) {
            if (built.of[GlyphFont[at + 1]] == NoGlyph) built.of[GlyphFont[at + 1]] = at;
            at += 4 + GlyphFont[at];
        }
        return built;
    }();
    return index;
}

inline void SetPixel(int32_t x, int32_t y, Colour c) {
    if (x < 0 || y < 0 || x >= PanelWidth || y >= PanelHeight) return;
    uint8_t* p = PanelFrame + (static_cast<size_t>(y) * PanelWidth + x) * 3;
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
}

// Fills the rectangle [left, left + width) x [top, top + height), clipped to the frame.
void FillRect(int32_t left, int32_t top, int32_t width, int32_t height, Colour c) {
    int64_t x0 = left, y0 = top, x1 = static_cast<int64_t>(left) + width,
            y1 = static_cast<int64_t>(top) + height;
    if (x0 < 0) x0 = 0;
    if (y0 < 0) y0 = 0;
    if (x1 > PanelWidth) x1 = PanelWidth;
    if (y1 > PanelHeight) y1 = PanelHeight;
    for (int64_t y = y0; y < y1; ++y) {
        uint8_t* p = PanelFrame + (static_cast<size_t>(y) * PanelWidth + x0) * 3;
        for (int64_t x = x0; x < x1; ++x, p += 3) {
            p[0] = c.r;
            p[1] = c.g;
            p[2] = c.b;
        }
    }
}

}  // namespace

bool InstallPanelPicture(const uint8_t* bmp, uint32_t size) {
    InstalledPanel = bmp;
    InstalledPanelSize = size;
    return LoadPanelPicture(bmp, size);
}

bool LoadPanelPicture(const uint8_t* bmp, uint32_t size) {
    PanelPictureLoaded = true;
    if (bmp != nullptr && DecodePanelBmp(bmp, size)) return true;
    PanelWidth = PanelMaxWidth;
    PanelHeight = PanelMaxHeight;
    for (size_t i = 0; i < sizeof PanelPicture; i += 3) {
        PanelPicture[i] = PlainFaceColour.r;
        PanelPicture[i + 1] = PlainFaceColour.g;
        PanelPicture[i + 2] = PlainFaceColour.b;
    }
    return false;
}

ButtonRecord ButtonTable[2];

void SetButton(int32_t index, int32_t left, int32_t top) {
    ButtonTable[index] = ButtonRecord{index, left, top + ButtonSize, left + ButtonSize, top};
}

void InitLcdView() {
    for (auto& cell : LcdCells) cell.store(0x20);
    LcdPosition.store(0);
    LcdCursorOn.store(0);

    LcdRect = LcdRectangle{32, 112, 185, 67};
    for (int32_t i = 0; i < LcdCellCount; ++i)
        LcdCellOrigins[i] = CellOrigin{35 + 15 * (i % 12), 119 + 30 * (i / 12)};

    SetButton(0, 36, 278);
    SetButton(1, 82, 278);
    RedrawLcd();
}

void RedrawLcd() {
    EnsurePanelPicture();
    const bool lit = BacklightOn.load() != 0;
    FrameColour = lit ? LitFrameColour : UnlitFrameColour;
    CellColour = lit ? LitCellColour : UnlitCellColour;

    std::memcpy(PanelFrame, PanelPicture, static_cast<size_t>(PanelWidth) * PanelHeight * 3);
    FillRect(LcdRect.left, LcdRect.top, LcdRect.width, LcdRect.height, FrameColour);
    for (const CellOrigin& o : LcdCellOrigins) FillRect(o.x, o.y, CellBoxWidth, 24, CellColour);

    const int32_t position = LcdPosition.load();
    const bool cursorOn = LcdCursorOn.load() != 0;
    for (int32_t i = 0; i < LcdCellCount; ++i) {
        const uint8_t cursor = (cursorOn && i == position) ? 1 : 0;
        DrawGlyph(cursor, LcdCells[i].load(), LcdCellOrigins[i].x, LcdCellOrigins[i].y);
    }
}

void DrawGlyph(uint8_t cursorFlag, uint8_t code, int32_t x, int32_t y) {
    // The first record with this code; none drawn (not even the cursor) when there is none.
    const uint32_t offset = GlyphOffsets().of[code];
    if (offset == NoGlyph) return;
    const uint8_t* record = GlyphFont + offset;

    const int32_t count = record[0];
    const int32_t pages = record[2];
    const int32_t width = record[3];
    const uint8_t* bitmap = record + 4;
    const int32_t w = width < CellBoxWidth ? width : CellBoxWidth;
    const int32_t h = 8 * pages;
    for (int32_t dy = 0; dy < h; ++dy) {
        if (cursorFlag != 0 && dy >= h - CursorRows) {
            for (int32_t dx = 0; dx < CellBoxWidth; ++dx) SetPixel(x + dx, y + dy, InkColour);
            continue;
        }
        const uint8_t* column = bitmap + (dy / 8) * width;
        const int32_t bit = dy % 8;
        for (int32_t dx = 0; dx < w; ++dx) {
            const bool ink = (dy / 8) * width + dx < count && ((column[dx] >> bit) & 1) != 0;
            SetPixel(x + dx, y + dy, ink ? InkColour : CellColour);
        }
    }
}

void ResetLcdRenderer() {
    for (auto& b : ButtonTable) b = ButtonRecord{};
    LcdRect = LcdRectangle{};
    for (auto& o : LcdCellOrigins) o = CellOrigin{};
    FrameColour = UnlitFrameColour;
    CellColour = UnlitCellColour;
    PanelPictureLoaded = false;
    PanelWidth = PanelMaxWidth;
    PanelHeight = PanelMaxHeight;
}
