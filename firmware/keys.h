// The mode key poll (short and long presses, backlight wake) and the numeric editor.
#pragma once

#include <cstdint>

// One poll: refreshes the display (or only waits while editing), then reads the mode key.
void PollKey();
// The editor's layouts on line 2.
enum : uint8_t {
    EditCoefficient = 0,  // D.DD: calibration factors
    EditDoseRate = 1,     // DDDD.D: the dose-rate threshold
    EditDose = 2,         // DDD.DDD: the dose threshold
    EditFlux = 3,         // DDDDD: the flux threshold
};

// Edits *value digit by digit on line 2 in the given layout; the value is written back only
// when the last digit has been passed.
void EditNumber(float* value, uint8_t format);
