// LCD cells as text: glyph-font codes to UTF-8, as traces and expect steps show them.
#pragma once

#include <cstdint>
#include <string>

// Appends the UTF-8 text of one cell (" " for a code with no glyph).
void AppendCellText(std::string& out, uint8_t code);
// The 12 cells of LCD line `line` (0 or 1) as text: the display's own letters, as the trace
// keeps them (ГАММА with a Latin A and M).
std::string LcdLineText(int line);
// The same line for a person to read: Russian words in Cyrillic (CyrillicSpelling).
std::string ScreenLineText(int line);
