// The 2 kHz timer interrupt model: second hand-off, pulses, alarm tone, clicks, backlight.
#include "peripherals/timer_isr.h"

#include <vector>

#include "firmware/firmware_state.h"
#include "peripherals/sound_output.h"
#include "support/machine.h"

namespace {

class TimerIsrTest : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        SampleRepeat.store(4);  // as during the host tick's interrupt calls
        TicksToSecond.store(1995);
        SettingsFlags.store(0x04);
    }

    // One interrupt call; returns the samples it appended.
    static std::vector<uint8_t> Call() {
        const uint32_t before = SampleCount.load();
        TimerIsr();
        return std::vector<uint8_t>(SampleBuffer + before, SampleBuffer + SampleCount.load());
    }
    static std::vector<uint8_t> Four(uint8_t level) { return std::vector<uint8_t>(4, level); }
};

TEST_F(TimerIsrTest, ClickSoundsCallByCall) {
    TickPulses.store(1);
    for (int k = 0; k < 110; ++k) {
        SCOPED_TRACE(k);
        if (k == 50) TickPulses.store(1);  // a pulse during the click: counted, not heard
        const std::vector<uint8_t> samples = Call();
        if (k == 0 || k == 99) {
            EXPECT_EQ(samples, Four(128));
        } else if (k >= 91 && k <= 98) {
            EXPECT_EQ(samples, Four(k % 2 == 1 ? 255 : 0));
        } else {
            EXPECT_TRUE(samples.empty());
        }
        EXPECT_EQ(SoundReady.load(), k >= 99 ? 1 : 0);
        EXPECT_EQ(ClickCountdown.load(), k < 100 ? 100 - k : 0);
    }
    EXPECT_EQ(SampleCount.load(), 40u);
    EXPECT_EQ(RunningCount.load(), 2u);
}

TEST_F(TimerIsrTest, ToneIs501CallsAlternatingFromTheOppositeOfTheLastLevel) {
    // TonePhase 0x00 means the last tone call output 178, so the next one outputs 78.
    const struct {
        uint8_t phase;
        uint8_t first;
        uint8_t second;
    } cases[] = {{0x00, 78, 178}, {0xFF, 178, 78}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.phase));
        SampleCount.store(0);
        TonePhase.store(c.phase);
        TicksToSecond.store(0);
        ThresholdAlarm.store(1);
        EXPECT_TRUE(Call().empty());  // the boundary arms the tone
        ASSERT_EQ(AlarmTone.load(), 1);
        for (int k = 0; k < 501; ++k) {
            SCOPED_TRACE(k);
            ASSERT_EQ(Call(), Four(k % 2 == 0 ? c.first : c.second));
            ASSERT_EQ(SoundReady.load(), 0);
        }
        EXPECT_EQ(TicksToSecond.load(), 1494u);
        EXPECT_TRUE(Call().empty());
        EXPECT_EQ(AlarmTone.load(), 0);
        EXPECT_EQ(SoundReady.load(), 1);
        EXPECT_EQ(SampleCount.load(), 2004u);
    }
}

TEST_F(TimerIsrTest, AlarmFlagsDecideToneAndClicks) {
    const struct {
        uint8_t threshold;
        uint8_t overRange;
        bool tone;
        bool click;
    } cases[] = {
        {0, 0, false, true},
        {1, 0, true, false},
        {1, 1, false, false},  // over range mutes everything, even with the threshold alarm
        {0, 1, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.threshold) << int(c.overRange));
        SampleCount.store(0);
        ClickCountdown.store(0);
        ThresholdAlarm.store(c.threshold);
        OverRange.store(c.overRange);
        TicksToSecond.store(0);
        Call();
        EXPECT_EQ(AlarmTone.load(), c.tone ? 1 : 0);
        for (int k = 0; k < 700; ++k) {
            if (k == 520) TickPulses.store(1);  // after the tone
            Call();
        }
        EXPECT_EQ(SampleCount.load(), (c.tone ? 2004u : 0u) + (c.click ? 40u : 0u));
        EXPECT_EQ(PulseIndicator.load(), 3);
        EXPECT_EQ(RunningCount.load(), 1u);
    }
}

TEST_F(TimerIsrTest, FlagsChangedBetweenBoundariesActAtTheNextOne) {
    TicksToSecond.store(10);
    ThresholdAlarm.store(1);
    for (int k = 0; k < 10; ++k) EXPECT_TRUE(Call().empty());
    Call();  // boundary
    EXPECT_EQ(Call(), Four(78));
    OverRange.store(1);  // the tone of this second goes on
    EXPECT_EQ(Call(), Four(178));
    AlarmTone.store(0);  // the firmware's clearing silences it at once
    EXPECT_TRUE(Call().empty());
    EXPECT_EQ(SoundReady.load(), 1);
}

TEST_F(TimerIsrTest, ToneAndClickInOneCallAppendToneFirst) {
    // A click started before the boundary that arms the tone runs on under the tone.
    TicksToSecond.store(5);
    TickPulses.store(1);
    EXPECT_EQ(Call(), Four(128));
    ThresholdAlarm.store(1);
    for (int k = 1; k <= 5; ++k) EXPECT_TRUE(Call().empty());
    ASSERT_EQ(AlarmTone.load(), 1);
    for (int k = 6; k < 91; ++k) ASSERT_EQ(Call().size(), 4u);
    for (int k = 91; k <= 99; ++k) {
        SCOPED_TRACE(k);
        const uint8_t tone = TonePhase.load() == 0x00 ? 78 : 178;  // the one this call outputs
        const uint8_t click = k == 99 ? 128 : (k % 2 == 1 ? 255 : 0);
        std::vector<uint8_t> expected = Four(tone);
        expected.insert(expected.end(), 4, click);
        EXPECT_EQ(Call(), expected);
    }
    // The click's end raises SoundReady, the next tone call lowers it again.
    EXPECT_EQ(SoundReady.load(), 1);
    Call();
    EXPECT_EQ(SoundReady.load(), 0);
}

TEST_F(TimerIsrTest, SecondBoundaryHandsOverTheCountAndDropsItsOwnPulses) {
    TicksToSecond.store(0);
    RunningCount.store(7);
    TickPulses.store(2);
    Call();
    EXPECT_EQ(SecondCounts.load(), 7u);
    EXPECT_EQ(RunningCount.load(), 0u);
    EXPECT_EQ(SecondElapsed.load(), 1);
    EXPECT_EQ(TicksToSecond.load(), 1995u);
    EXPECT_EQ(TickPulses.load(), 0);
    EXPECT_EQ(PulseIndicator.load(), 3);
    // They still click.
    EXPECT_EQ(ClickCountdown.load(), 100);
    // Pulses of the next call count in the new second.
    TickPulses.store(3);
    Call();
    EXPECT_EQ(RunningCount.load(), 3u);
}

TEST_F(TimerIsrTest, SecondIs1996CallsAndCountsDownThePerSecondTimers) {
    const struct {
        uint8_t start;
        uint8_t afterTwoSeconds;
    } cases[] = {{15, 13}, {1, 0}, {0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.start));
        TicksToSecond.store(1995);
        BacklightSeconds.store(c.start);
        AnnounceCountdown.store(c.start);
        for (int second = 0; second < 2; ++second) {
            SecondElapsed.store(0);
            for (int k = 0; k < 1995; ++k) Call();
            EXPECT_EQ(SecondElapsed.load(), 0);
            Call();
            EXPECT_EQ(SecondElapsed.load(), 1);
        }
        EXPECT_EQ(BacklightSeconds.load(), c.afterTwoSeconds);
        EXPECT_EQ(AnnounceCountdown.load(), c.afterTwoSeconds);
        EXPECT_EQ(BacklightOn.load(), c.afterTwoSeconds);
    }
}

TEST_F(TimerIsrTest, ClicksBitClearedMidClickStopsTheSoundAtOnce) {
    TickPulses.store(1);
    for (int k = 0; k < 50; ++k) Call();
    SettingsFlags.store(0);
    for (int k = 50; k < 101; ++k) {
        SCOPED_TRACE(k);
        EXPECT_TRUE(Call().empty());
        EXPECT_EQ(SoundReady.load(), 0);  // no click end to raise it
    }
    EXPECT_EQ(ClickCountdown.load(), 0);
    Call();  // the first call that finds the countdown at 0
    EXPECT_EQ(SoundReady.load(), 1);
    EXPECT_EQ(SampleCount.load(), 4u);  // only the click's first level
}

TEST_F(TimerIsrTest, ClicksOffPulsesStillCountAndLight) {
    SettingsFlags.store(0x03);  // voice bits only
    TickPulses.store(2);
    EXPECT_TRUE(Call().empty());
    EXPECT_EQ(ClickCountdown.load(), 0);
    EXPECT_EQ(RunningCount.load(), 2u);
    EXPECT_EQ(PulseIndicator.load(), 3);
    EXPECT_EQ(SoundReady.load(), 1);
}

TEST_F(TimerIsrTest, BacklightOnFollowsBacklightSecondsEveryCall) {
    for (uint8_t seconds : {15, 0, 255, 1}) {
        SCOPED_TRACE(static_cast<int>(seconds));
        BacklightSeconds.store(seconds);
        Call();
        EXPECT_EQ(BacklightOn.load(), seconds);
    }
}

// The host tick's run of calls counts quiet stretches down at once; it must leave exactly
// what the calls one by one leave, from every kind of state, across second boundaries.
TEST_F(TimerIsrTest, RunOfCallsEqualsTheCallsOneByOne) {
    struct State {
        uint32_t toSecond;
        uint8_t pulses, click, tone, alarm, overRange, backlight, clicksOn;
    };
    const State cases[] = {
        {1995, 0, 0, 0, 0, 0, 0, 1},   // quiet
        {150, 0, 0, 0, 0, 0, 3, 1},    // the second boundary inside the run
        {1, 0, 0, 0, 0, 0, 1, 0},      // a boundary at the second call
        {0, 2, 0, 0, 0, 0, 0, 1},      // a boundary at the first call, pulses waiting
        {1990, 1, 0, 0, 0, 0, 0, 1},   // a pulse: a click starts
        {1700, 0, 37, 0, 0, 0, 0, 1},  // a click running
        {1995, 0, 0, 1, 1, 0, 0, 1},   // the tone sounding
        {1500, 0, 0, 1, 1, 0, 0, 1},   // the tone ending inside the run
        {1400, 0, 0, 1, 1, 0, 2, 0},   // tone flag left over after its end
        {120, 3, 0, 1, 1, 0, 0, 1},    // tone, pulses and a boundary with an alarm raised
        {120, 3, 0, 0, 0, 1, 0, 1},    // over range: no click, no tone
    };
    for (const State& c : cases) {
        SCOPED_TRACE(c.toSecond);
        std::vector<uint32_t> results[2];
        for (int way = 0; way < 2; ++way) {
            SampleCount.store(0);
            SoundReady.store(0);
            RunningCount.store(5);
            SecondCounts.store(0);
            SecondElapsed.store(0);
            TonePhase.store(0);
            TicksToSecond.store(c.toSecond);
            TickPulses.store(c.pulses);
            ClickCountdown.store(c.click);
            AlarmTone.store(c.tone);
            ThresholdAlarm.store(c.alarm);
            OverRange.store(c.overRange);
            BacklightSeconds.store(c.backlight);
            SettingsFlags.store(c.clicksOn != 0 ? 0x04 : 0);
            if (way == 0) {
                for (int k = 0; k < 200; ++k) TimerIsr();
            } else {
                TimerIsrRun(200);
            }
            results[way] = {TicksToSecond.load(),    RunningCount.load(), SecondCounts.load(),
                            SecondElapsed.load(),    TickPulses.load(),   PulseIndicator.load(),
                            BacklightSeconds.load(), BacklightOn.load(),  AnnounceCountdown.load(),
                            AlarmTone.load(),        TonePhase.load(),    ClickCountdown.load(),
                            SoundReady.load(),       AudioLevel.load(),   SampleCount.load()};
            for (uint32_t i = 0; i < SampleCount.load(); ++i)
                results[way].push_back(SampleBuffer[i]);
        }
        EXPECT_EQ(results[0], results[1]);
    }
}

}  // namespace
