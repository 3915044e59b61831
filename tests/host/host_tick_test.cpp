// The host tick, the firmware thread's life and the tick wait, in lock-step.
#include <atomic>
#include <chrono>
#include <thread>

#include "firmware/display.h"
#include "firmware/firmware_state.h"
#include "peripherals/pulse_source.h"
#include "peripherals/timer_isr.h"
#include "support/machine.h"

namespace {

// A firmware that runs a list of waits and counts the ones that have ended.
std::atomic<int> WaitsDone{0};
int32_t WaitList[4];
int WaitListLength = 0;

void WaitListFirmware() {
    PowerKeyEnabled = 1;
    for (int i = 0; i < WaitListLength; ++i) {
        WaitMs(WaitList[i]);
        WaitsDone.store(i + 1);
    }
    for (;;) WaitMs(100);
}

class TickWaitTest : public MachineTest {
protected:
    void StartWaits(std::initializer_list<int32_t> waits) {
        WaitsDone.store(0);
        WaitListLength = 0;
        for (int32_t w : waits) WaitList[WaitListLength++] = w;
        Start(WaitListFirmware);
    }
};

TEST_F(TickWaitTest, WaitsTakeWholeTicksAndAtLeastOne) {
    const struct {
        int32_t ms;
        int ticks;
    } cases[] = {{0, 1}, {20, 1}, {100, 1}, {250, 3}, {2000, 20}, {-5, 1}, {101, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ms);
        ResetSimulator();
        StartWaits({c.ms});
        Tick(c.ticks - 1);
        EXPECT_EQ(WaitsDone.load(), 0);
        Tick(1);
        EXPECT_EQ(WaitsDone.load(), 1);
    }
}

TEST_F(TickWaitTest, PowerClickDuringLongWaitActsAtTheNextWait) {
    StartWaits({2000, 100});
    Tick(5);
    ClickPower();
    EXPECT_EQ(PowerKeyEvent.load(), 1);
    Tick(14);
    EXPECT_EQ(FirmwareRunning.load(), 1u);
    EXPECT_EQ(WaitsDone.load(), 0);
    // The twentieth tick ends the long wait; the next wait switches the instrument off and
    // the same tick cleans up.
    Tick(1);
    EXPECT_EQ(WaitsDone.load(), 1);
    EXPECT_EQ(FirmwareStopped.load(), 1);
    EXPECT_EQ(FirmwareRunning.load(), 0u);
    Tick(3);
    EXPECT_EQ(WaitsDone.load(), 1);  // no firmware code ran after the power-off
}

TEST_F(TickWaitTest, PowerClickIsIgnoredWhilePowerKeyDisabled) {
    // The key is honoured only once PowerKeyEnabled is 1; until then the click stays pending.
    static std::atomic<int> phase{0};
    phase.store(0);
    Start([] {
        WaitMs(100);
        WaitMs(100);
        phase.store(1);
        PowerKeyEnabled = 1;
        WaitMs(100);
        phase.store(2);
        for (;;) WaitMs(100);
    });
    ClickPower();
    Tick(2);
    EXPECT_EQ(phase.load(), 1);
    EXPECT_EQ(FirmwareRunning.load(), 0u);
    EXPECT_EQ(FirmwareStopped.load(), 1);
}

TEST_F(TickWaitTest, CleanUpTickBlanksTheLcdAndKeepsTheAddress) {
    Start([] {
        WaitMs(100);  // like the real firmware, touch nothing before the first tick
        PowerKeyEnabled = 1;
        for (int i = 0; i < 24; ++i) DisplayText[i] = static_cast<uint8_t>('A' + i);
        RefreshDisplay();
        LcdWrite(0xC5, 0);
        LcdWrite(0x0E, 0);
        BacklightSeconds.store(15);
        for (;;) WaitMs(100);
    });
    Tick(3);
    EXPECT_EQ(Line(0), std::string("ABCDEFGHIJK "));
    EXPECT_EQ(LcdCursorOn.load(), 1);
    EXPECT_NE(BacklightOn.load(), 0u);
    ClickPower();
    Tick(1);
    EXPECT_EQ(FirmwareRunning.load(), 0u);
    EXPECT_EQ(FirmwareThreadHandle.load(), 0);
    EXPECT_EQ(Line(0), std::string(12, ' '));
    EXPECT_EQ(Line(1), std::string(12, ' '));
    EXPECT_EQ(LcdCursorOn.load(), 0);
    EXPECT_EQ(LcdPosition.load(), 17);
    EXPECT_EQ(BacklightOn.load(), 0u);
}

TEST_F(TickWaitTest, OffStateTickChangesNothing) {
    StartWaits({});
    ClickPower();
    Tick(1);
    ASSERT_EQ(FirmwareRunning.load(), 0u);
    const int32_t phase = PulsePhase;
    const uint32_t toSecond = TicksToSecond.load();
    const uint32_t samples = SampleCount.load();
    const auto line0 = Line(0);
    Tick(50);
    EXPECT_EQ(PulsePhase, phase);
    EXPECT_EQ(TicksToSecond.load(), toSecond);
    EXPECT_EQ(SampleCount.load(), samples);
    EXPECT_EQ(Line(0), line0);
    EXPECT_TRUE(played.wavs.empty());
    // POWER while off starts the firmware again at once.
    ClickPower();
    EXPECT_EQ(FirmwareRunning.load(), 1u);
    EXPECT_EQ(FirmwareStopped.load(), 0);
    EXPECT_EQ(PowerKeyEvent.load(), 0);
}

TEST_F(TickWaitTest, PowerOnKeepsModeKeyHeldAndStartupReleasesIt) {
    ModeKeyLevel.store(0);
    StartWaits({});
    EXPECT_EQ(ModeKeyLevel.load(), 1);  // the window's creation releases the key
    ClickPower();
    Tick(1);
    ModeDown();
    ClickPower();  // the release of the POWER click also releases MODE
    EXPECT_EQ(ModeKeyLevel.load(), 1);
    // MODE held with one mouse button while the other clicks POWER: the press of POWER
    // leaves the level alone.
    ClickPower();
    Tick(1);
    ASSERT_EQ(FirmwareRunning.load(), 0u);
    ModeDown();
    SimPress(SimPower);
    EXPECT_EQ(FirmwareRunning.load(), 1u);
    EXPECT_EQ(ModeKeyLevel.load(), 0);
}

TEST_F(TickWaitTest, ResetEndsAFirmwareParkedOnTheModeKey) {
    static std::atomic<int> reached{0};
    reached.store(0);
    Start([] {
        WaitMs(100);
        AwaitModeKeyRelease();
        reached.store(1);
        for (;;) WaitMs(100);
    });
    ModeDown();
    Tick(3);  // parked on the key: ticks pass without the firmware
    EXPECT_EQ(reached.load(), 0);
    ModeUp();
    EXPECT_EQ(reached.load(), 1);
    ModeDown();
    Tick(1);
    ResetSimulator();
    EXPECT_EQ(FirmwarePark, ParkedStopped);
    EXPECT_EQ(FirmwareThreadHandle.load(), 0);
    EXPECT_EQ(FirmwareRunning.load(), 0u);
    // Released where it waited: none of its code runs again, and the next start is fresh.
    reached.store(0);
    Start([] {
        WaitMs(100);
        reached.store(2);
        for (;;) WaitMs(100);
    });
    Tick(1);
    EXPECT_EQ(reached.load(), 2);
}

}  // namespace

namespace {

// The firmware is a fiber of the caller's thread: its steps run inside the tick and the
// input calls that let one of its waits go on, and nowhere else.
TEST_F(TickWaitTest, FirmwareStepsRunInsideTheCallsOnTheCallersThread) {
    static std::thread::id seen;
    static std::atomic<int> steps{0};
    steps.store(0);
    seen = std::thread::id();
    Start([] {
        seen = std::this_thread::get_id();
        for (;;) {
            WaitMs(100);
            steps.fetch_add(1);
            AwaitModeKeyRelease();
        }
    });
    EXPECT_EQ(seen, std::this_thread::get_id());  // started inside the window's creation
    EXPECT_EQ(steps.load(), 0);
    Tick(1);
    EXPECT_EQ(steps.load(), 1);
    ModeDown();
    Tick(2);  // parked on the key: the second tick waits for the release
    EXPECT_EQ(steps.load(), 2);
    ModeUp();  // the release lets it go on at once: it takes the tick that was raised
    EXPECT_EQ(steps.load(), 3);
    Tick(1);
    EXPECT_EQ(steps.load(), 4);
}

}  // namespace
