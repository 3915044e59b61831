// The simulator's surface as a front end uses it: start, tick, the frame, the mouse and the
// buttons' names and boxes, the LCD box, each alarm bit raised, the cells' texts, the WAV
// header.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/scenario/interpreter.h"
#include "simulator.h"
#include "support/run_runner.h"

namespace {

class SurfaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        SimReset();
        SimSetSoundService(nullptr);
        SimStart();
    }
    void TearDown() override { SimReset(); }
};

struct Played {
    uint8_t seen = 0;  // the alarm bits of every tick, together
    uint8_t atEnd = 0;
    bool on = false;
};

// Plays a script through the player, as the front ends do, and watches the alarm bits.
Played Play(const std::string& text) {
    ParseResult parsed = ParseScenario("s.scn", text);
    EXPECT_TRUE(parsed.ok) << parsed.error;
    ScenarioPlayer player;
    ScenarioBegin(player, "s.scn", std::move(parsed.steps));
    Played p;
    for (;;) {
        const ScenarioAction a = ScenarioNext(player);
        if (a.kind != ScenarioAction::Tick) {
            EXPECT_NE(a.kind, ScenarioAction::Failed) << a.message;
            break;
        }
        SimTick();
        p.seen |= SimAlarms();
    }
    p.atEnd = SimAlarms();
    SimTickReport r;
    SimReport(&r);
    p.on = r.on != 0;
    return p;
}

std::string Scenario(const char* name) {
    return ReadWholeFile(std::string(DRK_SOURCE_DIR) + "/tests/scenarios/" + name);
}

// Each alarm bit raised by what raises it on the instrument, and none when it is off.
TEST_F(SurfaceTest, EachAlarmBitIsRaisedByItsCause) {
    const struct {
        const char* what;
        std::string script;
        uint8_t seen, atEnd;  // all three bits compared
        bool on;
    } cases[] = {
        {"background only", "wait 1 min\n", 0, 0, true},
        {"a check source above the edited gamma threshold", Scenario("gamma_alarm.scn"),
         SimAlarmThreshold, SimAlarmThreshold, true},
        {"a beta flux beyond the range", Scenario("beta_over_range.scn"),
         SimAlarmThreshold | SimAlarmOverRange, 0, true},
        {"the accumulated dose past the edited threshold", Scenario("dose_alarm.scn"), SimAlarmDose,
         SimAlarmDose, true},
        {"the same, then switched off", Scenario("dose_alarm.scn") + "power\nwait 10s\n",
         SimAlarmDose, 0, false},
    };
    for (const auto& c : cases) {
        SetUp();
        const Played p = Play(c.script);
        EXPECT_EQ(p.seen, c.seen) << c.what;
        EXPECT_EQ(p.atEnd, c.atEnd) << c.what;
        EXPECT_EQ(p.on, c.on) << c.what;
    }
}

TEST_F(SurfaceTest, StartTickAndFrame) {
    SimTickReport r;
    SimReport(&r);
    EXPECT_EQ(r.on, 1);
    for (int i = 0; i < 30; ++i) SimTick();
    SimReport(&r);
    EXPECT_EQ(r.on, 1);
    int shown = 0;
    for (uint8_t c : r.cells) shown += c != ' ';
    EXPECT_GT(shown, 0) << "the display shows something three seconds after the start";
    const int32_t w = SimFrameWidth(), h = SimFrameHeight();
    ASSERT_GT(w, 0);
    ASSERT_GT(h, 0);
    const uint32_t* frame = SimFrame();
    ASSERT_NE(frame, nullptr);
    size_t opaque = 0;
    for (int32_t i = 0; i < w * h; ++i) opaque += (frame[i] >> 24) == 0xFF;
    EXPECT_EQ(opaque, static_cast<size_t>(w) * static_cast<size_t>(h));
    std::string version = SimVersion();
    EXPECT_EQ(std::count(version.begin(), version.end(), '.'), 2) << version;
}

// The buttons by name and by position: boxes, the hit test, and what a press holds.
TEST_F(SurfaceTest, ButtonsByNameAndByPosition) {
    int32_t lcd[4];
    SimLcdBox(lcd);
    EXPECT_LT(lcd[0], lcd[2]);
    EXPECT_LT(lcd[1], lcd[3]);
    EXPECT_LE(lcd[2], SimFrameWidth());
    EXPECT_LE(lcd[3], SimFrameHeight());
    for (const SimButton b : {SimPower, SimMode}) {
        int32_t box[4];
        SimButtonBox(b, box);
        EXPECT_EQ(box[2] - box[0], 30);
        EXPECT_EQ(box[3] - box[1], 30);
        const int32_t cx = (box[0] + box[2]) / 2, cy = (box[1] + box[3]) / 2;
        EXPECT_EQ(SimButtonAt(cx, cy), b);
        EXPECT_EQ(SimButtonAt(box[0] + 1, box[1] + 1), b);
        EXPECT_EQ(SimButtonAt(box[0], cy), -1) << "the square's edges are not sensitive";
        EXPECT_EQ(SimButtonAt(box[2], cy), -1);
        EXPECT_TRUE(box[2] <= lcd[0] || box[0] >= lcd[2] || box[3] <= lcd[1] || box[1] >= lcd[3])
            << "a button square overlaps the LCD";
    }
    EXPECT_EQ(SimButtonAt(-1, -1), -1);
    EXPECT_EQ(SimButtonAt((lcd[0] + lcd[2]) / 2, (lcd[1] + lcd[3]) / 2), -1);

    int32_t mode[4];
    SimButtonBox(SimMode, mode);
    const struct {
        const char* what;
        void (*act)(const int32_t* mode);
        bool held;
    } inputs[] = {
        {"mouse down on MODE", [](const int32_t* m) { SimMouseDown(m[0] + 5, m[1] + 5); }, true},
        {"mouse up anywhere", [](const int32_t*) { SimMouseUp(); }, false},
        {"MODE pressed by name", [](const int32_t*) { SimPress(SimMode); }, true},
        {"POWER released by name", [](const int32_t*) { SimRelease(SimPower); }, true},
        {"MODE released by name", [](const int32_t*) { SimRelease(SimMode); }, false},
        {"mouse down beside MODE", [](const int32_t* m) { SimMouseDown(m[2], m[1] + 5); }, false},
    };
    for (const auto& in : inputs) {
        in.act(mode);
        EXPECT_EQ(SimModeHeld(), in.held) << in.what;
    }
}

TEST(SurfaceText, CellTextsAndTheWavHeader) {
    const struct {
        uint8_t code;
        const char* text;
    } cells[] = {{'A', "A"},  {'0', "0"},   {' ', " "},  {0xC0, "А"}, {0xFF, "я"},
                 {0x01, "±"}, {0x7E, "⁻¹"}, {0xB5, "µ"}, {0x03, " "}, {0x80, " "}};
    for (const auto& c : cells) EXPECT_STREQ(SimCellText(c.code), c.text) << int(c.code);
    for (int code = 0; code < 256; ++code) {
        const char* t = SimCellText(static_cast<uint8_t>(code));
        ASSERT_NE(t, nullptr);
        EXPECT_GT(std::strlen(t), 0u) << code;
        EXPECT_LE(std::strlen(t), 7u) << code;
    }

    uint8_t h[SimWavHeaderSize];
    SimWavHeader(h, 1000);
    auto u32 = [&](int at) {
        return static_cast<uint32_t>(h[at] | h[at + 1] << 8 | h[at + 2] << 16 | h[at + 3] << 24);
    };
    auto u16 = [&](int at) { return static_cast<uint32_t>(h[at] | h[at + 1] << 8); };
    EXPECT_EQ(std::string(reinterpret_cast<char*>(h), 4), "RIFF");
    EXPECT_EQ(u32(4), 36u + 1000u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(h + 8), 8), "WAVEfmt ");
    EXPECT_EQ(u32(16), 16u);    // the format chunk's size
    EXPECT_EQ(u16(20), 1u);     // PCM
    EXPECT_EQ(u16(22), 1u);     // mono
    EXPECT_EQ(u32(24), 8000u);  // samples a second
    EXPECT_EQ(u32(28), 8000u);  // bytes a second
    EXPECT_EQ(u16(32), 1u);     // bytes a sample
    EXPECT_EQ(u16(34), 8u);     // bits a sample
    EXPECT_EQ(std::string(reinterpret_cast<char*>(h + 36), 4), "data");
    EXPECT_EQ(u32(40), 1000u);
}

}  // namespace
