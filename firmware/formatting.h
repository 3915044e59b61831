// Number and text formatting into DisplayText. Numbers are truncated, never rounded.
#pragma once

#include <cstdint>

// Prints DisplayValue on line 2 from cell 12 with `decimals` decimals; returns the next cell.
uint8_t NumberFormatter(uint8_t decimals);
// Writes a zero-terminated LCD string from `cell`, blanks the rest of the screen after it.
uint8_t WriteTextAt(uint8_t cell, const uint8_t* text);
// Blanks the screen, then writes the text from cell 0 (at most 24 characters).
void WriteTextLine(const uint8_t* text);
// Copies the model designation into cells cell .. cell + 11 (cell 0 or 12).
void WriteDesignation(uint8_t cell);
