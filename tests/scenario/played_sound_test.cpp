// What the surface reports a tick played (SimPlayedSound) against the samples themselves, and
// the detector's seed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/scenario/interpreter.h"
#include "simulator.h"

namespace {

std::vector<uint8_t> LastSound;

void KeepSound(const uint8_t* wav, uint32_t bytes) {
    LastSound.assign(wav + 44, wav + bytes);
}

class PlayedSoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        SimReset();
        SimSetSoundService(KeepSound);
    }
    void TearDown() override {
        SimReset();
        SimSetSoundService(nullptr);
    }
};

// Clicks and tone bursts counted in the samples. A click's audible part is 4 x 255, 4 x 0, ...
// right after the 128 that starts it (speech never reaches 255); the tone is groups of four
// samples, 78 and 178 by turns.
bool ToneGroupAt(const std::vector<uint8_t>& s, size_t i) {
    if (i + 8 > s.size() || (s[i] != 78 && s[i] != 178)) return false;
    const uint8_t other = s[i] == 78 ? 178 : 78;
    for (size_t k = 1; k < 4; ++k)
        if (s[i + k] != s[i]) return false;
    for (size_t k = 4; k < 8; ++k)
        if (s[i + k] != other) return false;
    return true;
}

void CountInSamples(const std::vector<uint8_t>& s, uint64_t& clicks, uint64_t& tones) {
    for (size_t i = 1; i < s.size(); ++i) {
        clicks += s[i] == 255 && s[i - 1] == 128;
        tones += ToneGroupAt(s, i) && !(i >= 4 && ToneGroupAt(s, i - 4));
    }
    tones += ToneGroupAt(s, 0);
}

TEST_F(PlayedSoundTest, ClicksAndToneBurstsReportedAreTheOnesInTheSamples) {
    // Clicks switched on in the menu, twenty seconds of background, then beta and a source
    // that raises the alarm: its tone, and no clicks while it is raised.
    std::string script = "wait 3s\npress mode 20\ntick 2\n";
    for (int i = 0; i < 6; ++i) script += "press mode 3\ntick 2\n";
    script +=
        "press mode 20\ntick 2\npress mode 3\ntick 2\npress mode 3\ntick 2\n"
        "press mode 15\nwait 20s\npress mode 3\ntick 2\npress mode 3\ntick 2\nsource 600\n"
        "wait 30s\n";
    ParseResult parsed = ParseScenario("s", script);
    ASSERT_TRUE(parsed.ok) << parsed.error;
    ScenarioPlayer player;
    ScenarioBegin(player, "s", std::move(parsed.steps));
    SimStart();
    uint64_t reported[2] = {0, 0}, counted[2] = {0, 0};
    while (ScenarioNext(player).kind == ScenarioAction::Tick) {
        LastSound.clear();
        SimTick();
        SimSoundReport r;
        SimPlayedSound(&r);
        ASSERT_EQ(r.samples, LastSound.size());
        reported[0] += r.clicks;
        reported[1] += r.tones;
        uint64_t c = 0, t = 0;
        CountInSamples(LastSound, c, t);
        counted[0] += c;
        counted[1] += t;
        EXPECT_EQ(r.clicks, c) << "tick " << player.tick;
        EXPECT_EQ(r.tones, t) << "tick " << player.tick;
    }
    EXPECT_GT(reported[0], 20u);  // about 2.3 pulses a second for 20 s
    EXPECT_GT(reported[1], 10u);  // a burst every second of the alarm
    EXPECT_EQ(reported[0], counted[0]);
    EXPECT_EQ(reported[1], counted[1]);
}

TEST_F(PlayedSoundTest, SpeechListsTheMessagesSpokenInOrder) {
    const uint8_t list[] = {110, 1, 200, 91, 57, 150, 100};  // 200 and 150 say nothing
    ASSERT_TRUE(SimSay(list, 7));
    SimSoundReport r;
    SimPlayedSound(&r);
    ASSERT_EQ(r.messageCount, 5u);
    EXPECT_EQ(std::vector<uint8_t>(r.messages, r.messages + 5),
              (std::vector<uint8_t>{110, 1, 91, 57, 100}));
    EXPECT_EQ(r.clicks + r.tones, 0u);

    // A session: the greeting, then nothing until the farewell; a tick that plays nothing
    // reports nothing.
    SimStart();
    std::vector<uint8_t> spoken;
    for (int t = 0; t < 50; ++t) {
        SimTick();
        SimPlayedSound(&r);
        spoken.insert(spoken.end(), r.messages, r.messages + r.messageCount);
        if (r.samples == 0) {
            EXPECT_EQ(r.messageCount, 0u);
        }
    }
    SimPress(SimPower);
    SimMouseUp();
    for (int t = 0; t < 10; ++t) {
        SimTick();
        SimPlayedSound(&r);
        spoken.insert(spoken.end(), r.messages, r.messages + r.messageCount);
    }
    EXPECT_EQ(spoken, (std::vector<uint8_t>{106, 107}));
}

// The pulses of 600 ticks after a start with `seed` (-1: none).
std::vector<uint32_t> Pulses(int64_t seed) {
    SimReset();
    if (seed >= 0) SimSeed(static_cast<uint32_t>(seed));
    SimStart();
    std::vector<uint32_t> pulses;
    for (int t = 0; t < 600; ++t) {
        SimTick();
        SimTickReport r;
        SimReport(&r);
        pulses.push_back(r.pulses);
    }
    return pulses;
}

TEST_F(PlayedSoundTest, ASeedGivesItsOwnRepeatablePulsesAndNoSeedTheUsualOnes) {
    const std::vector<uint32_t> unseeded = Pulses(-1), seven = Pulses(7);
    EXPECT_EQ(Pulses(-1), unseeded);
    EXPECT_EQ(Pulses(7), seven);
    EXPECT_NE(seven, unseeded);
    EXPECT_NE(Pulses(8), seven);
    uint32_t total = 0;
    for (uint32_t p : seven) total += p;
    EXPECT_GT(total, 80u);  // about 0.23 a tick
    EXPECT_LT(total, 200u);
}

}  // namespace
