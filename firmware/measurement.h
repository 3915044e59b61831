// The measurement cycle: one reading per closed second in the current MeasureMode.
#pragma once

#include <cstdint>

// Measures until a long press, or a short press while the voice mode is not manual.
void MeasurementCycle();
// The rate-change test of the adaptive average: true when it restarted the average.
bool RateChangeTest(uint8_t seconds, uint32_t sum);
// The detector's linearity correction, in place on DisplayValue.
void LinearityCorrection();
