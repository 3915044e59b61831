#include "peripherals/pulse_source.h"

#include <cmath>

#include "firmware/firmware_state.h"
#include "peripherals/timer_isr.h"

int32_t PulsePhase = 0;
uint32_t PulsesLastTick = 0;
uint32_t CheckSourcePulses = 0;
std::minstd_rand PulseGenerator;

namespace {

// The mean interval of 0.43 s in 1/32768 s, as the single-precision multiplier.
constexpr float IntervalFactor = static_cast<float>(-PulseMeanInterval);
static_assert(IntervalFactor == -14090.240234375f);
constexpr long double RandomSpan = 1073741823.0L;  // 2^30 - 1

uint32_t Draw15() {
    return static_cast<uint32_t>(PulseGenerator()) & 0x7FFF;
}

}  // namespace

long double UniformRandom() {
    const uint32_t high = Draw15();
    const uint32_t low = Draw15();
    return static_cast<long double>(high * 32768 + low) / RandomSpan;
}

void PulseSource() {
    CoefGF.store(0.43f, std::memory_order_relaxed);
    PulsePhase -= PulseTickLength;
    PulsesLastTick = 0;
    if (PulsePhase > PulseTickLength) return;

    uint8_t pulses = TickPulses.load(std::memory_order_relaxed);
    uint32_t drawn = 0;
    do {
        long double u = UniformRandom();
        // ln(0) would give an interval that no accumulator holds: such a draw is repeated.
        while (u == 0.0L) u = UniformRandom();
        const float interval = static_cast<float>(std::log(u) * IntervalFactor);
        // In double the sum is off by far less than a float's distance to the next whole
        // number, so the conversion truncates the true sum toward zero.
        PulsePhase = static_cast<int32_t>(static_cast<double>(PulsePhase) + interval);
        ++pulses;
        ++drawn;
    } while (PulsePhase <= PulseTickLength);
    TickPulses.store(pulses, std::memory_order_relaxed);
    PulsesLastTick = drawn;
}

void AddCheckSourcePulses() {
    if (CheckSourcePulses == 0) return;
    // TickPulses is a byte: what does not fit waits for the next ticks instead of wrapping.
    const uint32_t room = 255u - TickPulses.load(std::memory_order_relaxed);
    const uint32_t taken = CheckSourcePulses < room ? CheckSourcePulses : room;
    TickPulses.store(static_cast<uint8_t>(TickPulses.load(std::memory_order_relaxed) + taken),
                     std::memory_order_relaxed);
    PulsesLastTick += taken;
    CheckSourcePulses -= taken;
}

void SeedPulseSource(uint32_t seed) {
    std::seed_seq sequence{seed};
    PulseGenerator.seed(sequence);
}

void ResetPulseSource() {
    PulsePhase = 0;
    PulsesLastTick = 0;
    CheckSourcePulses = 0;
    PulseGenerator = std::minstd_rand();
}
