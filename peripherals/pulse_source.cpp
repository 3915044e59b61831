#include "peripherals/pulse_source.h"

#include "firmware/firmware_state.h"

int32_t PulsePhase = 0;
uint32_t PulsesLastTick = 0;
uint32_t CheckSourcePulses = 0;

// Placeholder until the pulse source is built.
void PulseSource() {
    CoefGF.store(0.43f);
    PulsesLastTick = 0;
}
long double UniformRandom() { return 0.5L; }

void ResetPulseSource() {
    PulsePhase = 0;
    PulsesLastTick = 0;
    CheckSourcePulses = 0;
}
