// Display refresh, the tick wait and the power-off.
//
// The firmware's only contact with time and, at run time, with the LCD: the refresh copies
// DisplayText to the controller and waits one tick; the tick wait takes whole 100 ms ticks
// and is where the firmware notices the power button and switches itself off.
#pragma once

#include <cstdint>

void RefreshDisplay();
void WaitMs(int32_t milliseconds);
[[noreturn]] void PowerOffSequence();
