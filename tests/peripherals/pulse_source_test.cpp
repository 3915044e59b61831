// The detector pulse source: tick accumulator, random intervals, rate and distribution.
#include "peripherals/pulse_source.h"

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "firmware/firmware_state.h"
#include "peripherals/timer_isr.h"
#include "support/machine.h"

namespace {

using PulseSourceTest = MachineTest;

constexpr uint64_t Modulus = std::minstd_rand::modulus;
constexpr uint64_t Multiplier = std::minstd_rand::multiplier;

uint64_t PowMod(uint64_t base, uint64_t exp) {
    uint64_t result = 1;
    for (base %= Modulus; exp != 0; exp >>= 1) {
        if (exp & 1) result = result * base % Modulus;
        base = base * base % Modulus;
    }
    return result;
}

// Puts the generator into a state whose next two draws end in the given 15 bits; false if
// the generator's cycle has no such pair (searched, not assumed).
bool PrimeNextPair(uint32_t high, uint32_t low) {
    for (uint64_t x1 = high; x1 < Modulus; x1 += 32768) {
        if (x1 == 0) continue;
        if ((Multiplier * x1 % Modulus & 0x7FFF) != low) continue;
        // The state before x1: x1 times the multiplier's inverse.
        PulseGenerator.seed(static_cast<std::minstd_rand::result_type>(
            x1 * PowMod(Multiplier, Modulus - 2) % Modulus));
        return true;
    }
    return false;
}

struct TickResult {
    int32_t phase;
    uint8_t pulses;
};

// One PulseSource call from the given phase with no pulses waiting.
TickResult RunTick(int32_t phase) {
    PulsePhase = phase;
    TickPulses.store(0);
    PulseSource();
    return {PulsePhase, TickPulses.load()};
}

TEST_F(PulseSourceTest, PhaseDecidesWhetherTheTickDraws) {
    const struct {
        int32_t phase;
        bool draws;
    } cases[] = {{6553, false}, {6552, true}, {3276, true}, {100000, false}, {3277, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.phase);
        CoefGF.store(2.5f);  // a value entered in the service menu
        const TickResult r = RunTick(c.phase);
        EXPECT_EQ(CoefGF.load(), 0.43f);
        EXPECT_EQ(PulsesLastTick, r.pulses);
        if (c.draws) {
            EXPECT_GE(r.pulses, 1);
            EXPECT_GT(r.phase, 3276);
        } else {
            EXPECT_EQ(r.pulses, 0);
            EXPECT_EQ(r.phase, c.phase - 3276);
        }
    }
}

TEST_F(PulseSourceTest, ExtremeDrawsAreHandled) {
    // u = 1 gives an interval of 0: one more pulse, the phase unchanged, and the loop draws
    // on as if that pair had not been drawn. u = 0 has no finite interval and is drawn again,
    // without a pulse.
    const struct {
        uint32_t bits;
        long double u;
        int extraPulses;
    } cases[] = {{0x7FFF, 1.0L, 1}, {0x0000, 0.0L, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bits);
        ASSERT_TRUE(PrimeNextPair(c.bits, c.bits));
        const std::minstd_rand primed = PulseGenerator;
        EXPECT_EQ(UniformRandom(), c.u);

        PulseGenerator = primed;
        PulseGenerator.discard(2);
        const TickResult without = RunTick(3376);

        PulseGenerator = primed;
        const TickResult with = RunTick(3376);
        EXPECT_EQ(with.phase, without.phase);
        EXPECT_EQ(with.pulses, without.pulses + c.extraPulses);
    }
}

TEST_F(PulseSourceTest, TickPulsesCountModulo256) {
    PulsePhase = 3276;
    TickPulses.store(255);
    PulseSource();
    ASSERT_GE(PulsesLastTick, 1u);
    EXPECT_EQ(TickPulses.load(), static_cast<uint8_t>(255 + PulsesLastTick));
}

TEST_F(PulseSourceTest, GeneratorIsTheStandardSequenceAndResetRestartsIt) {
    // The standard fixes the 10000th value of a default-constructed minstd_rand; the source
    // uses its low 15 bits as the second half of its 5000th number.
    for (int i = 0; i < 4999; ++i) UniformRandom();
    const long double u = UniformRandom();
    const uint64_t n = static_cast<uint64_t>(std::llround(u * 1073741823.0L));
    EXPECT_EQ(n & 0x7FFF, 399268537u & 0x7FFF);

    std::vector<int> first;
    ResetPulseSource();
    PulsePhase = 3276;
    for (int i = 0; i < 200; ++i) {
        PulseSource();
        first.push_back(static_cast<int>(PulsesLastTick));
    }
    ResetPulseSource();
    PulsePhase = 3276;
    for (int i = 0; i < 200; ++i) {
        SCOPED_TRACE(i);
        PulseSource();
        ASSERT_EQ(static_cast<int>(PulsesLastTick), first[i]);
    }
}

TEST_F(PulseSourceTest, PulsesPerTickArePoissonWithMeanOf0_2325) {
    // Counts in disjoint ticks of a Poisson process are independent Poisson(lambda); each
    // statistic must lie within 5 standard errors of its expected value for this sample size.
    constexpr int N = 1000000;
    const double lambda = 3276.0 / 14090.24;
    PulsePhase = 3276;
    uint64_t sum = 0, sumSquares = 0, zeros = 0;
    for (int i = 0; i < N; ++i) {
        TickPulses.store(0);
        PulseSource();
        const uint64_t k = PulsesLastTick;
        sum += k;
        sumSquares += k * k;
        zeros += k == 0;
    }
    const double mean = static_cast<double>(sum) / N;
    const double variance = static_cast<double>(sumSquares) / N - mean * mean;
    const double zeroShare = static_cast<double>(zeros) / N;
    const double p0 = std::exp(-lambda);

    EXPECT_NEAR(mean, lambda, 5 * std::sqrt(lambda / N));
    EXPECT_NEAR(zeroShare, p0, 5 * std::sqrt(p0 * (1 - p0) / N));
    // For a Poisson count the variance equals the mean; the sample variance's standard error
    // is sqrt((mu4 - sigma^4) / N) with mu4 = lambda (1 + 3 lambda).
    EXPECT_NEAR(variance, lambda, 5 * std::sqrt((lambda + 2 * lambda * lambda) / N));
}

}  // namespace
