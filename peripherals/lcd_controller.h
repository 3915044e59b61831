// Character LCD controller: a register-level model of an HD44780-type controller with a
// Cyrillic character ROM, driving a 12 x 2 display.
//
// Models: 24 character cells, the address counter and the cursor switch; the data write with
// its address run-on from line 1 into line 2 and the drop of data past cell 23; the address,
// cursor-on and cursor-off commands; the translation of ROM codes into glyph-font codes at the
// moment a character is written.
// Leaves out: the character generator RAM (its address command is ignored, so pattern bytes
// land as ordinary characters), clear, home, entry mode, shift, display off, blinking,
// busy flag and reads. The user-defined characters show fixed glyphs instead.
//
// LcdWrite runs in the firmware's step; the renderer reads the state from the host between
// steps, on the same thread (the firmware is a fiber). Each cell, the address and the cursor
// switch is one atomic value, as the shared variables are.
#pragma once

#include <atomic>
#include <cstdint>

inline constexpr int LcdCellCount = 24;
inline constexpr uint8_t LcdSpace = 0x20;  // the blank cell

// Commands of a bus write with dataFlag 0.
inline constexpr uint8_t LcdCmdLine1 = 0x80;      // address counter to cell 0
inline constexpr uint8_t LcdCmdLine2 = 0xC0;      // address counter to cell 12
inline constexpr uint8_t LcdCmdCursorOn = 0x0E;   // underline cursor on
inline constexpr uint8_t LcdCmdCursorOff = 0x0C;  // display on, cursor off
// Accepted and ignored by this model: initialisation and the character generator RAM.
inline constexpr uint8_t LcdCmdFunctionSet = 0x28;   // 4-bit bus, two lines
inline constexpr uint8_t LcdCmdEntryMode = 0x06;     // address counts up
inline constexpr uint8_t LcdCmdClear = 0x01;         // clear display
inline constexpr uint8_t LcdCmdCgramAddress = 0x40;  // + 8 x character: its pattern rows

extern std::atomic<uint8_t> LcdCells[LcdCellCount];  // glyph-font codes, cells 0-11 line 1
extern std::atomic<int32_t> LcdPosition;             // address counter as a cell index, 0-75
extern std::atomic<int32_t> LcdCursorOn;             // 1 = underline cursor under LcdPosition

// One bus write: data (a character) when dataFlag is not 0, else a command.
void LcdWrite(uint8_t value, uint8_t dataFlag);
// Character-ROM code to glyph-font code.
uint8_t RomToGlyph(uint8_t romCode);

// Program-start state: every cell 0, address 0, cursor off.
void ResetLcdController();
