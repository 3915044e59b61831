// The mode key poll (short and long presses, backlight wake) and the numeric editor.
#pragma once

#include <cstdint>

// One poll: refreshes the display (or only waits while editing), then reads the mode key.
void PollKey();
// Edits *value digit by digit on line 2 in the given layout (0 D.DD, 1 DDDD.D, 2 DDD.DDD,
// 3 DDDDD); the value is written back only when the last digit has been passed.
void EditNumber(float* value, uint8_t format);
