// The field around the detector: the mean rate of distance, kind and walls, measured from the
// drawn pulses over long runs, and what the tick's byte does with a strong field.
#include "peripherals/field.h"

#include <cmath>
#include <cstdint>

#include "peripherals/pulse_source.h"
#include "support/machine.h"

namespace {

using FieldTest = MachineTest;

struct WallCase {
    double x1, y1, x2, y2, t;
};

// Pulses a second expected at the detector (5 m, 5 m), worked out by hand from the model:
// R x (1 m / max(d, 0.05 m))^2 x the walls crossed; beta to 3 m, alpha to 0.05 m, walls stop
// both.
const struct RateCase {
    const char* what;
    uint8_t kind;
    double strength, x, y;
    int walls;
    WallCase wall[2];
    double expected;
} RateCases[] = {
    {"gamma at 1 m", KindGamma, 100, 5, 6, 0, {}, 100},
    {"gamma at 2 m", KindGamma, 100, 5, 7, 0, {}, 25},
    {"gamma at 5 m", KindGamma, 100, 5, 0, 0, {}, 4},
    {"gamma at 0.5 m on a slant", KindGamma, 10, 5.3, 5.4, 0, {}, 40},
    {"gamma at 0.05 m", KindGamma, 0.1, 5.05, 5, 0, {}, 40},
    {"gamma at 0.02 m: the 0.05 m floor", KindGamma, 0.1, 5.02, 5, 0, {}, 40},
    {"gamma on the detector: the floor", KindGamma, 0.1, 5, 5, 0, {}, 40},
    {"gamma behind one wall", KindGamma, 100, 5, 6, 1, {{4, 5.5, 6, 5.5, 0.5}}, 50},
    {"gamma behind two walls",
     KindGamma,
     100,
     5,
     6,
     2,
     {{4, 5.5, 6, 5.5, 0.5}, {4, 5.8, 6, 5.8, 0.2}},
     10},
    {"gamma past a wall beside the line", KindGamma, 100, 5, 6, 1, {{5.5, 5, 5.5, 6, 0.1}}, 100},
    {"gamma with a wall's end on the line", KindGamma, 100, 5, 6, 1, {{5, 5.5, 6, 5.5, 0.5}}, 50},
    {"gamma along a wall's line", KindGamma, 100, 5, 6, 1, {{5, 5.2, 5, 5.8, 0}}, 100},
    {"gamma behind a wall of 0", KindGamma, 100, 5, 6, 1, {{4, 5.5, 6, 5.5, 0}}, 0},
    {"beta at 2 m", KindBeta, 100, 5, 7, 0, {}, 25},
    {"beta at 3 m, its reach", KindBeta, 90, 5, 8, 0, {}, 10},
    {"beta at 3.1 m", KindBeta, 10000, 5, 8.1, 0, {}, 0},
    {"beta at 4 m", KindBeta, 10000, 5, 9, 0, {}, 0},
    {"beta behind a wall of 1", KindBeta, 100, 5, 7, 1, {{4, 6, 6, 6, 1}}, 0},
    {"alpha at 0.04 m", KindAlpha, 0.1, 5.04, 5, 0, {}, 40},
    {"alpha at 0.05 m, its reach", KindAlpha, 0.1, 5.05, 5, 0, {}, 40},
    {"alpha at 0.06 m", KindAlpha, 1000, 5.06, 5, 0, {}, 0},
    {"alpha at 0.1 m", KindAlpha, 1000, 5.1, 5, 0, {}, 0},
    {"alpha behind a wall of 1", KindAlpha, 0.1, 5.04, 5, 1, {{5.02, 4, 5.02, 6, 1}}, 0},
};

int32_t Mm(double metres) {
    return static_cast<int32_t>(std::lround(metres * 1000));
}

TEST_F(FieldTest, MeanRateFollowsDistanceKindAndWalls) {
    constexpr int Ticks = 100000;  // 10000 s of instrument time
    for (const RateCase& c : RateCases) {
        SimReset();
        SimSeed(7);
        ASSERT_TRUE(SimPlace("S", static_cast<SimSourceKind>(c.kind),
                             static_cast<uint32_t>(std::lround(c.strength * 1000)), Mm(c.x),
                             Mm(c.y), false))
            << c.what;
        for (int w = 0; w < c.walls; ++w) {
            const WallCase& k = c.wall[w];
            ASSERT_TRUE(SimWall(Mm(k.x1), Mm(k.y1), Mm(k.x2), Mm(k.y2),
                                static_cast<uint32_t>(std::lround(k.t * 1000))))
                << c.what;
        }
        EXPECT_NEAR(SimFieldRate() - BackgroundRate, c.expected, 1e-9 * (1 + c.expected)) << c.what;

        uint64_t pulses = 0;
        for (int i = 0; i < Ticks; ++i) pulses += DrawFieldPulses();
        const double mean = c.expected * Ticks / 10;
        if (c.expected == 0) {
            EXPECT_EQ(pulses, 0u) << c.what;
        } else {
            EXPECT_NEAR(static_cast<double>(pulses), mean, 4 * std::sqrt(mean)) << c.what;
        }
    }
}

TEST_F(FieldTest, HeldSourceAndSeveralSourcesAddUp) {
    SimSeed(11);
    SimHoldSource(12500);                                             // 12.5 pulses a second
    ASSERT_TRUE(SimPlace("A", SimGamma, 100000, 5000, 6000, false));  // 100 at 1 m
    ASSERT_TRUE(SimPlace("B", SimBeta, 100000, 7000, 5000, true));    // 25 at 2 m
    EXPECT_NEAR(SimFieldRate(), BackgroundRate + 137.5, 1e-9);
    constexpr int Ticks = 50000;
    uint64_t pulses = 0;
    for (int i = 0; i < Ticks; ++i) pulses += DrawFieldPulses();
    const double mean = 137.5 * Ticks / 10;
    EXPECT_NEAR(static_cast<double>(pulses), mean, 4 * std::sqrt(mean));
}

// A rate that changes every tick (the instrument carried) is one Poisson process: the count
// over the run is the summed mean of its ticks.
TEST_F(FieldTest, DetectorCarriedThroughTheFieldCountsItsPath) {
    SimSeed(3);
    ASSERT_TRUE(SimPlace("S", SimGamma, 100000, 5000, 5000, false));
    double mean = 0;
    uint64_t pulses = 0;
    for (int i = 0; i < 100000; ++i) {
        // Back and forth between 0.5 m and 4.5 m from the source, a millimetre a tick.
        const int32_t step = i % 8000;
        const int32_t y = 5500 + (step < 4000 ? step : 8000 - step);
        ASSERT_TRUE(SimMoveDetector(5000, y));
        mean += (SimFieldRate() - BackgroundRate) / 10;
        pulses += DrawFieldPulses();
    }
    EXPECT_NEAR(static_cast<double>(pulses), mean, 4 * std::sqrt(mean));
}

// The same seed gives the same pulses; another seed others; nothing drawn with nothing placed.
TEST_F(FieldTest, PulsesRepeatForTheSameSeed) {
    auto run = [](uint32_t seed) {
        SimReset();
        SimSeed(seed);
        SimPlace("S", SimGamma, 50000, 5000, 6000, false);
        std::vector<uint32_t> counts;
        for (int i = 0; i < 200; ++i) counts.push_back(DrawFieldPulses());
        return counts;
    };
    EXPECT_EQ(run(5), run(5));
    EXPECT_NE(run(5), run(6));

    SimReset();
    const std::mt19937 before = FieldGenerator;
    for (int i = 0; i < 100; ++i) EXPECT_EQ(DrawFieldPulses(), 0u);
    EXPECT_TRUE(FieldGenerator == before) << "an empty room drew from the generator";
}

// A field that fills the tick's byte: 255 pulses a tick and no more; carried away, the next
// tick holds only what the background and the new place draw (nothing was stored up).
TEST_F(FieldTest, StrongFieldFillsTheTickAndLeavesNothingBehind) {
    Start();
    Tick(5);
    ASSERT_TRUE(SimPlace("S", SimGamma, 10000000, 5000, 5100, false));  // 1 000 000 a second
    SimTickReport r;
    for (int i = 0; i < 20; ++i) {
        Tick();
        SimReport(&r);
        EXPECT_EQ(r.pulses, 255u);
    }
    ASSERT_TRUE(SimRemove("S"));
    int total = 0;
    for (int i = 0; i < 20; ++i) {
        Tick();
        SimReport(&r);
        total += static_cast<int>(r.pulses);
    }
    EXPECT_LE(total, 20) << "pulses left over from the strong field";
}

// The field draws while the instrument is off, and those pulses are lost.
TEST_F(FieldTest, InstrumentOffLosesTheFieldsPulses) {
    ASSERT_TRUE(SimPlace("S", SimGamma, 2000000, 5000, 6000, false));  // 2000 a second
    Tick(10);                                                          // not started: off
    Start();
    Tick();
    SimTickReport r;
    SimReport(&r);
    EXPECT_LT(r.pulses, 255u);
    EXPECT_GT(r.pulses, 150u);
}

TEST_F(FieldTest, ValuesOutsideTheLimitsChangeNothing) {
    ASSERT_TRUE(SimPlace("S", SimGamma, 1000, 1000, 1000, false));
    const uint32_t changes = SimRoomChanges();
    EXPECT_FALSE(SimRoom(999, 5000));
    EXPECT_FALSE(SimRoom(5000, 100001));
    EXPECT_FALSE(SimPlace("", SimGamma, 1000, 1000, 1000, false));
    EXPECT_FALSE(SimPlace("a b", SimGamma, 1000, 1000, 1000, false));
    EXPECT_FALSE(SimPlace("S", static_cast<SimSourceKind>(3), 1000, 1000, 1000, false));
    EXPECT_FALSE(SimPlace("S", SimGamma, SimStrengthMax + 1, 1000, 1000, false));
    EXPECT_FALSE(SimPlace("S", SimGamma, 1000, 10001, 1000, false));
    EXPECT_FALSE(SimPlace("S", SimGamma, 1000, -1, 1000, false));
    EXPECT_FALSE(SimMoveDetector(5000, 10001));
    EXPECT_FALSE(SimWall(0, 0, 0, 0, 500));
    EXPECT_FALSE(SimWall(0, 0, 10000, 0, 1001));
    EXPECT_FALSE(SimRemove("T"));
    EXPECT_EQ(SimRoomChanges(), changes);
    SimRoomSource s;
    ASSERT_TRUE(SimSourceAt(0, &s));
    EXPECT_STREQ(s.name, "S");
    EXPECT_EQ(s.x, 1000);

    // The room fills up: the 17th source and the 33rd wall are refused.
    for (int i = 1; i < SimSourcesMax; ++i)
        EXPECT_TRUE(SimPlace(("S" + std::to_string(i)).c_str(), SimGamma, 1, 0, 0, false));
    EXPECT_FALSE(SimPlace("One-more", SimGamma, 1, 0, 0, false));
    EXPECT_TRUE(SimPlace("S3", SimBeta, 2, 10, 10, true)) << "a placed name moves";
    EXPECT_EQ(SimSourceCount(), SimSourcesMax);
    for (int i = 0; i < SimWallsMax; ++i) EXPECT_TRUE(SimWall(0, i, 10000, i, 500));
    EXPECT_FALSE(SimWall(0, 100, 10000, 100, 500));

    // A new room is empty, the detector at its centre.
    ASSERT_TRUE(SimRoom(20000, 6000));
    int32_t at[2];
    SimDetectorAt(at);
    EXPECT_EQ(at[0], 10000);
    EXPECT_EQ(at[1], 3000);
    EXPECT_EQ(SimSourceCount(), 0);
    EXPECT_EQ(SimWallCount(), 0);
}

}  // namespace
