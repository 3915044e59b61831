// The firmware's main program: power-on sequence, retained settings, the mode loop.
#pragma once

// Entry of the firmware's fiber; leaves only through the power-off inside the tick wait.
void FirmwareMain();
