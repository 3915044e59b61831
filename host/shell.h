// The window's logic, shared by every front end: what a mouse button does to the two panel
// buttons (their squares are the LCD view's ButtonTable). A front end turns its platform's
// events into these calls, through the simulator's surface.
#pragma once

#include <cstdint>

// Whether (x, y) lies in the sensitive interior of ButtonTable record `index` (all four
// edges strict).
bool ButtonHit(int32_t index, uint32_t x, uint32_t y);

// A mouse button went down in ButtonTable record `index`'s square: POWER (0) acts at once
// (power-on when off, a power-off request when on); MODE (1) is held.
void ButtonDown(int32_t index);
// Either mouse button went down at client position (x, y): POWER and MODE hit test.
void ButtonPress(uint32_t x, uint32_t y);
// Either mouse button went up anywhere in the window: MODE released.
void ButtonRelease();
