// The room's steps: what they parse to and refuse, the timed `at` step inside the steps that
// run ticks, and a room that outlives its script.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/scenario/interpreter.h"
#include "simulator.h"

namespace {

class RoomStepsTest : public ::testing::Test {
protected:
    void SetUp() override {
        SimReset();
        SimSetSoundService(nullptr);
        SimStart();
    }
    void TearDown() override { SimReset(); }
};

TEST(RoomStepsParse, MalformedAndOutOfRangeValuesAreScriptErrors) {
    const struct {
        const char* script;
        const char* message;
    } cases[] = {
        {"room 0.999 5\n", "x:1: expected: room W H"},
        {"room 5 100.001\n", "x:1: expected: room W H"},
        {"room 5\n", "x:1: expected: room W H"},
        {"place S gamma 100 at 5\n", "x:1: expected: place NAME"},
        {"place S gamma 100 5 5\n", "x:1: expected: place NAME"},
        {"place S delta 100 at 5 5\n", "x:1: expected: place NAME"},
        {"place S gamma -1 at 5 5\n", "x:1: expected: place NAME"},
        {"place S gamma 100000.001 at 5 5\n", "x:1: expected: place NAME"},
        {"place S gamma 1.2345 at 5 5\n", "x:1: expected: place NAME"},
        {"place S gamma 1 at 10.001 5\n",
         "x:1: place S gamma 1 at 10.001 5: a position outside the room (room 10 10)"},
        {"room 4 4\nplace S gamma 1 at 5 1\n",
         "x:2: place S gamma 1 at 5 1: a position outside the room (room 4 4)"},
        {"place S gamma 1 at 5 5 hiden\n", "x:1: expected: place NAME"},
        {"place a.b gamma 1 at 5 5\n", "x:1: expected: place NAME"},
        {"place ABCDEFGHIJKLMNOP gamma 1 at 5 5\n", "x:1: expected: place NAME"},
        {"remove\n", "x:1: expected: remove NAME"},
        {"move 1\n", "x:1: expected: move X Y"},
        {"move -1 2\n", "x:1: expected: move X Y"},
        {"move 100.001 2\n", "x:1: expected: move X Y"},
        {"move 1,5 2\n", "x:1: expected: move X Y"},
        {"wall 1 1 2 2\n", "x:1: expected: wall X1 Y1 X2 Y2 T"},
        {"wall 1 1 2 2 1.5\n", "x:1: expected: wall X1 Y1 X2 Y2 T"},
        {"wall 3 3 3 3 0.5\n", "x:1: expected: wall X1 Y1 X2 Y2 T"},
        {"wall 1 1 12 2 0.5\n", "x:1: wall 1 1 12 2 0.5: a position outside the room"},
        {"expect rate 5\n", "x:1: expected: expect rate A..B"},
        {"expect rate 5..2\n", "x:1: expected: expect rate A..B"},
        {"expect rate a..b\n", "x:1: expected: expect rate A..B"},
        {"at 90 move 1 1\n", "x:1: expected: at T STEP"},
        {"at 1:60 move 1 1\n", "x:1: expected: at T STEP"},
        {"at 1:5 move 1 1\n", "x:1: expected: at T STEP"},
        {"at 10s\n", "x:1: expected: at T STEP"},
        {"at 2 min move 1 1\n", "x:1: expected: at T STEP"},  // the time is one word
        {"at 10s wait 2s\n", "x:1: at: the step must take no time"},
        {"at 10s at 20s power\n", "x:1: at: the step must take no time"},
        {"at 10s expect lcd \"a\" \"b\"\n", "x:1: at: expect lcd:"},
        {"at 10s move 11 1\n", "x:1: at: move 11 1: a position outside the room"},
    };
    for (const auto& c : cases) {
        const ParseResult r = ParseScenario("x", c.script);
        EXPECT_FALSE(r.ok) << c.script;
        EXPECT_EQ(r.error.rfind(c.message, 0), 0u) << c.script << " gave: " << r.error;
    }
}

TEST(RoomStepsParse, StepsFormatBackToWhatParsesTheSame) {
    const char* lines[] = {
        "room 12.5 8",
        "place Cs-137 gamma 100 at 5 6",
        "place s_2 beta 0.125 at 0 10 hidden",
        "place A alpha 100000 at 10 0.001",
        "remove Cs-137",
        "move 2.5 4",
        "wall 4 5.5 6 5.5 0.5",
        "wall 0 0 10 10 0",
        "at 1:30 place S gamma 50 at 1 1 hidden",
        "at 2min move 7 7",
        "at 1500ms power",
        "expect rate 102.3..102.4",
    };
    for (const char* line : lines) {
        const ParseResult r = ParseScenario("x", std::string(line) + "\n");
        ASSERT_TRUE(r.ok) << line << ": " << r.error;
        ASSERT_EQ(r.steps.size(), 1u);
        EXPECT_EQ(FormatStep(r.steps[0]), line);
    }
    const ParseResult r = ParseScenario("x", "at 1:30.05 move 1 1\nat 0:00 power\n");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.steps[0].count, 901u);  // taken upwards to the tick
    EXPECT_EQ(r.steps[1].count, 0u);
}

// The ticks run before each `at` step acted: the detector's x in metres at each tick.
std::vector<int> MovesAt(const std::string& script, std::string* failure = nullptr) {
    ParseResult parsed = ParseScenario("p.scn", script);
    EXPECT_TRUE(parsed.ok) << parsed.error;
    ScenarioPlayer player;
    ScenarioBegin(player, "p.scn", std::move(parsed.steps));
    std::vector<int> moves;
    int32_t last[2];
    SimDetectorAt(last);
    for (uint64_t ticks = 0; ticks < 1000;) {
        const ScenarioAction a = ScenarioNext(player);
        int32_t now[2];
        SimDetectorAt(now);
        if (now[0] != last[0]) moves.push_back(static_cast<int>(ticks));
        last[0] = now[0];
        if (a.kind == ScenarioAction::Tick) {
            SimTick();
            ++ticks;
            continue;
        }
        if (a.kind == ScenarioAction::Failed && failure) *failure = a.message;
        break;
    }
    return moves;
}

TEST_F(RoomStepsTest, AtStepsRunAtTheirTickWhereverTheScriptIs) {
    const struct {
        const char* script;
        std::vector<int> ticks;
    } cases[] = {
        {"at 1.5s move 1 1\nwait 3s\n", {15}},
        {"at 1.45s move 1 1\nwait 3s\n", {15}},  // taken upwards
        {"at 0:02 move 1 1\npress mode 30\n", {20}},
        {"at 0s move 1 1\ntick 1\n", {0}},
        {"tick 5\nat 0:00.5 move 1 1\ntick 5\n", {5}},  // its time is now
        {"at 300ms move 1 1\nwait until lcd \"ГАММА ??????\" \"????????????\" within 5s\n", {3}},
        // In the order started, inside one wait, each at its tick.
        {"at 1s move 1 1\nat 1s move 2 2\nat 0.5s move 3 3\ntick 20\n", {5, 10}},
        // Before the script's own next step at the same tick.
        {"at 1s move 1 1\ntick 10\nmove 4 4\ntick 1\n", {10}},
    };
    for (const auto& c : cases) {
        SimReset();
        SimStart();
        std::string failure;
        const std::vector<int> moves = MovesAt(c.script, &failure);
        EXPECT_TRUE(failure.empty()) << c.script << failure;
        if (std::string(c.script).find("move 4 4") != std::string::npos) {
            // The at step moved the detector to 1 m at tick 10, then the script's to 4 m.
            int32_t at[2];
            SimDetectorAt(at);
            EXPECT_EQ(at[0], 4000);
        }
        EXPECT_EQ(moves, c.ticks) << c.script;
    }
}

TEST_F(RoomStepsTest, StepsTheRoomRefusesFailAtTheirLine) {
    const struct {
        const char* script;
        const char* message;
    } cases[] = {
        {"tick 20\nat 1s power\n", "p.scn:2: at 1s: that time has passed, after tick 20"},
        {"at 10s power\ntick 20\n",
         "p.scn:1: at: the script ended after tick 20 (00:02.0), before the time of \"power\""},
        {"remove X\n", "p.scn:1: remove failed after tick 0 (00:00.0): no source X"},
        // The room checked when parsed was 20 x 20 m; by 1 s it is smaller.
        {"room 20 20\nat 1s place S gamma 1 at 15 1\nroom 10 10\ntick 10\n",
         "p.scn:2: place S failed after tick 10 (00:01.0): 15.000 1.000 is outside the room "
         "(the room is 10.000 x 10.000 m)"},
        {"expect rate 0..2\n",
         "p.scn:1: expect rate failed after tick 0 (00:00.0): expected 0.000..2.000 pulses a "
         "second, the mean rate at the detector is 2.325"},
    };
    for (const auto& c : cases) {
        SimReset();
        SimStart();
        ParseResult parsed = ParseScenario("p.scn", c.script);
        ASSERT_TRUE(parsed.ok) << parsed.error;
        ScenarioPlayer player;
        ScenarioBegin(player, "p.scn", std::move(parsed.steps));
        ScenarioAction a;
        for (;;) {
            a = ScenarioNext(player);
            if (a.kind != ScenarioAction::Tick) break;
            SimTick();
        }
        ASSERT_EQ(a.kind, ScenarioAction::Failed) << c.script;
        EXPECT_EQ(a.message.rfind(c.message, 0), 0u) << a.message;
    }
}

// The room and the held source belong to the simulator, not to the script: once the script
// has ended, the ticks a front end runs on its own still draw their pulses.
TEST_F(RoomStepsTest, TheRoomStaysWhenTheScriptEnds) {
    ParseResult parsed = ParseScenario("p.scn",
                                       "source 100\nplace S gamma 100 at 5 6\n"
                                       "expect rate 202.3..202.4\ntick 1\n");
    ASSERT_TRUE(parsed.ok) << parsed.error;
    ScenarioPlayer player;
    ScenarioBegin(player, "p.scn", std::move(parsed.steps));
    ScenarioAction a;
    while ((a = ScenarioNext(player)).kind == ScenarioAction::Tick) SimTick();
    ASSERT_EQ(a.kind, ScenarioAction::Done) << a.message;
    uint32_t pulses = 0;
    for (int i = 0; i < 100; ++i) {
        SimTick();
        SimTickReport r;
        SimReport(&r);
        pulses += r.pulses;
    }
    // 10 s at 202.3 a second: 2023 expected, 4 sigma is 180.
    EXPECT_NEAR(pulses, 2023.0, 180.0);
}

}  // namespace
