// Radiation pulse source: stands in for the Geiger detector.
//
// Models: a Poisson process of fixed mean rate (one pulse per 0.43 s) sampled once per host
// tick, with exponentially distributed intervals kept in a 1/32768 s accumulator; the pulses
// of a tick are delivered together through TickPulses. Also writes 0.43 into CoefGF on every
// tick. The generator is the standard library's, never seeded, so every run repeats.
// Leaves out: dead time, any change of the rate.
#pragma once

#include <cstdint>
#include <random>

inline constexpr int32_t PulseTickLength = 3276;    // 100 ms in 1/32768 s, truncated
inline constexpr int32_t PowerOnPulsePhase = 3276;  // so the first tick draws a pulse

extern int32_t PulsePhase;       // time accumulator, 1/32768 s
extern uint32_t PulsesLastTick;  // pulses the last tick drew, the check source's included
// Pulses of a check source held to the detector, added to the next tick, at most 255 a tick
// with the rest in the ticks after it; emptied by a power-off (host thread only).
extern uint32_t CheckSourcePulses;
// The standard library's generator, default-constructed and never seeded, so every run and
// every platform draws the same pulses. 15 bits of each draw are used.
extern std::minstd_rand PulseGenerator;

void PulseSource();
// Moves what the tick's byte still holds room for from CheckSourcePulses into TickPulses;
// called after PulseSource.
void AddCheckSourcePulses();
long double UniformRandom();
// Starts the generator on a sequence of its own for `seed`: different pulses, the same for
// the same seed. Without it every run draws the unseeded sequence.
void SeedPulseSource(uint32_t seed);

// Program-start state, including the generator's sequence.
void ResetPulseSource();
