// LCD renderer: draws the 24 cells of the LCD controller with the glyph font, the underline
// cursor and the lit or unlit look of the backlight into an RGB image of the front panel.
//
// Every redraw composes the whole panel image (PanelFrame, PanelWidth x PanelHeight, 3 bytes
// per pixel, rows top to bottom) from the panel picture; a front end then puts the finished
// frame on screen in one operation. Nothing is allocated per redraw.
#pragma once

#include <cstdint>

struct LcdRectangle {
    int32_t left, top, width, height;
};
struct CellOrigin {
    int32_t x, y;
};

inline constexpr int32_t PanelMaxWidth = 251;
inline constexpr int32_t PanelMaxHeight = 444;

// The two mouse-sensitive panel buttons, record 0 POWER and record 1 MODE; filled by
// InitLcdView, read by the window's hit test.
struct ButtonRecord {
    int32_t index, left, bottom, right, top;
};
inline constexpr int32_t ButtonSize = 30;
extern ButtonRecord ButtonTable[2];

// Fills record `index` as a 30 x 30 square with its top-left corner at (left, top).
void SetButton(int32_t index, int32_t left, int32_t top);

extern int32_t PanelWidth;
extern int32_t PanelHeight;
extern uint8_t PanelFrame[PanelMaxWidth * PanelMaxHeight * 3];
extern LcdRectangle LcdRect;
extern CellOrigin LcdCellOrigins[24];

// The glyph font: records laid end to end, ended by a 0 byte.
extern const uint8_t GlyphFont[];
extern const uint32_t GlyphFontSize;
// The UTF-8 text of each code (the character its glyph draws; a space for a code without a
// glyph), written by the same generator beside the font.
extern const char* const GlyphText[256];

// Decodes a 24-bit BMP file image as the panel picture and sets PanelWidth and PanelHeight
// (clipped to PanelMaxWidth x PanelMaxHeight). Anything else (missing, truncated, another
// depth or a compressed image) gives a plain light-grey face of the full size; returns
// whether the image was used.
bool LoadPanelPicture(const uint8_t* bmp, uint32_t size);
// Installs bmp (held, not copied) as the panel picture and loads it; the first redraw after
// a reset loads it again. Until one is installed the face is plain light grey.
bool InstallPanelPicture(const uint8_t* bmp, uint32_t size);

void InitLcdView();
void RedrawLcd();
void DrawGlyph(uint8_t cursorFlag, uint8_t code, int32_t x, int32_t y);

// Program-start state: no LCD geometry yet, and the carried picture is loaded again on the
// next redraw.
void ResetLcdRenderer();
