#include "peripherals/lcd_renderer.h"

#include "host/shell.h"
#include "peripherals/lcd_controller.h"

int32_t PanelWidth = PanelMaxWidth;
int32_t PanelHeight = PanelMaxHeight;
uint8_t PanelFrame[PanelMaxWidth * PanelMaxHeight * 3];
LcdRectangle LcdRect{};
CellOrigin LcdCellOrigins[24];
const uint8_t GlyphFont[] = {0};
const uint32_t GlyphFontSize = 1;

// Placeholder until the renderer is built: sets up the controller and the buttons.
void InitLcdView() {
    for (auto& cell : LcdCells) cell.store(0x20);
    LcdPosition.store(0);
    LcdCursorOn.store(0);
    SetButton(0, 36, 278);
    SetButton(1, 82, 278);
    RedrawLcd();
}
void RedrawLcd() {}
void DrawGlyph(uint8_t, uint8_t, int32_t, int32_t) {}

void ResetLcdRenderer() {}
