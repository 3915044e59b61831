// The window's logic, shared by every front end: the two panel buttons and what a mouse
// button does to them. A front end turns its platform's events into these calls.
#pragma once

#include <cstdint>

struct ButtonRecord {
    int32_t index, left, bottom, right, top;
};
extern ButtonRecord ButtonTable[2];  // 0 POWER, 1 MODE

// Fills record `index` as a 30 x 30 square with its top-left corner at (left, top).
void SetButton(int32_t index, int32_t left, int32_t top);

// Either mouse button went down at client position (x, y): POWER and MODE hit test.
void ButtonPress(uint32_t x, uint32_t y);
// Either mouse button went up anywhere in the window: MODE released.
void ButtonRelease();

// Program-start state (an empty button table).
void ResetShell();
