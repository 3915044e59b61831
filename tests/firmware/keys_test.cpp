// The mode-key poll with its backlight wake, and the numeric editor, on the real firmware
// thread in lock-step with the host tick.
#include "firmware/keys.h"

#include <atomic>
#include <string>
#include <vector>

#include "firmware/display.h"
#include "firmware/firmware_state.h"
#include "firmware/formatting.h"
#include "peripherals/lcd_controller.h"
#include "peripherals/timer_isr.h"
#include "support/machine.h"

namespace {

// --- Key poll ---------------------------------------------------------------------------------

// Set before the firmware starts.
uint8_t PollBacklightTime = 0;
uint8_t PollBacklightStart = 0;
uint8_t PollVoiceMode = 0;

// What the polling firmware saw, recorded on its own thread right after each poll (before
// the timer interrupts of that tick can count the backlight down).
std::atomic<int> Polls{0};
std::atomic<int> ShortCount{0}, LongCount{0}, BothCount{0};
std::atomic<int> ShortAtPoll{0}, LongAtPoll{0};
std::atomic<int> BacklightAtShort{-1}, BacklightAtLong{-1}, BacklightAfterPoll{-1};
std::atomic<int> HoldAfterPoll{0}, HoldMax{0};

void PollFirmware() {
    WaitMs(100);
    BacklightTime = PollBacklightTime;
    BacklightSeconds.store(PollBacklightStart);
    SettingsFlags.store(PollVoiceMode);
    PressConsumed = 1;
    for (;;) {
        PollKey();
        const int poll = Polls.load() + 1;
        if (ShortPress != 0 && LongPress != 0) BothCount.fetch_add(1);
        if (ShortPress != 0) {
            ShortCount.fetch_add(1);
            ShortAtPoll.store(poll);
            BacklightAtShort.store(BacklightSeconds.load());
        }
        if (LongPress != 0) {
            LongCount.fetch_add(1);
            LongAtPoll.store(poll);
            BacklightAtLong.store(BacklightSeconds.load());
        }
        BacklightAfterPoll.store(BacklightSeconds.load());
        HoldAfterPoll.store(HoldCount);
        if (HoldCount > HoldMax.load()) HoldMax.store(HoldCount);
        Polls.store(poll);
    }
}

class KeyPollTest : public MachineTest {
protected:
    // Starts the polling firmware; returns with its first poll (key released) done.
    void StartPolling(uint8_t backlightTime, uint8_t backlightStart, uint8_t voiceMode) {
        PollBacklightTime = backlightTime;
        PollBacklightStart = backlightStart;
        PollVoiceMode = voiceMode;
        for (auto* v : {&Polls, &ShortCount, &LongCount, &BothCount, &ShortAtPoll, &LongAtPoll,
                        &HoldAfterPoll, &HoldMax})
            v->store(0);
        for (auto* v : {&BacklightAtShort, &BacklightAtLong, &BacklightAfterPoll}) v->store(-1);
        Start(PollFirmware);
        Tick(2);
        ASSERT_EQ(Polls.load(), 1);
    }
};

TEST_F(KeyPollTest, PressLengthsAgainstBacklightAndVoiceMode) {
    enum Backlight { Lit, Dark, SwitchedOff };
    const struct {
        Backlight backlight;
        uint8_t voiceMode;
        bool shortReported;       // a press of 1-14 polls gives ShortPress
        int backlightAfterShort;  // BacklightSeconds after that press's release poll
        int backlightAtLong;      // BacklightSeconds at the long press
    } setups[] = {
        {Lit, 1, true, 30, 30},  {Lit, 2, true, 30, 30},       {Dark, 1, false, 30, 30},
        {Dark, 2, true, 30, 30}, {SwitchedOff, 1, true, 0, 0}, {SwitchedOff, 2, true, 0, 0},
    };
    const int lengths[] = {0, 1, 5, 14, 15, 16, 300};
    for (const auto& s : setups) {
        for (const int polls : lengths) {
            SCOPED_TRACE(testing::Message() << "backlight " << s.backlight << " voice "
                                            << int(s.voiceMode) << " held " << polls);
            ResetSimulator();
            const uint8_t time = s.backlight == SwitchedOff ? 0 : 30;
            StartPolling(time, s.backlight == Lit ? 7 : 0, s.voiceMode);
            const int first = Polls.load();
            PressMode(polls);
            Tick(1);
            ASSERT_EQ(Polls.load(), first + polls + 1);
            EXPECT_EQ(BothCount.load(), 0);
            if (polls == 0) {
                // Down and up again between two polls: never seen.
                EXPECT_EQ(ShortCount.load(), 0);
                EXPECT_EQ(LongCount.load(), 0);
                EXPECT_EQ(HoldMax.load(), 0);
            } else if (polls < 15) {
                EXPECT_EQ(LongCount.load(), 0);
                EXPECT_EQ(ShortCount.load(), s.shortReported ? 1 : 0);
                if (s.shortReported) {
                    EXPECT_EQ(ShortAtPoll.load(), first + polls + 1);  // the release poll
                    EXPECT_EQ(BacklightAtShort.load(), s.backlightAfterShort);
                }
                EXPECT_EQ(BacklightAfterPoll.load(), s.backlightAfterShort);
            } else {
                // Reported while still held, on the fifteenth poll; the release gives nothing.
                EXPECT_EQ(LongCount.load(), 1);
                EXPECT_EQ(LongAtPoll.load(), first + 15);
                EXPECT_EQ(BacklightAtLong.load(), s.backlightAtLong);
                EXPECT_EQ(ShortCount.load(), 0);
            }
            EXPECT_EQ(HoldAfterPoll.load(), 0);
            EXPECT_EQ(HoldMax.load(), polls < 255 ? polls : 255);
        }
    }
}

TEST_F(KeyPollTest, HoldCountStopsAt255AndTheNextPressCountsAgain) {
    StartPolling(0, 0, 1);
    ModeDown();
    Tick(254);
    EXPECT_EQ(HoldAfterPoll.load(), 254);
    Tick(1);
    EXPECT_EQ(HoldAfterPoll.load(), 255);
    Tick(100);
    EXPECT_EQ(HoldAfterPoll.load(), 255);
    EXPECT_EQ(LongCount.load(), 1);
    ModeUp();
    Tick(1);
    EXPECT_EQ(HoldAfterPoll.load(), 0);
    EXPECT_EQ(ShortCount.load(), 0);
    // Two short presses in a row are both reported.
    PressMode(3);
    Tick(1);
    PressMode(1);
    Tick(1);
    EXPECT_EQ(ShortCount.load(), 2);
    EXPECT_EQ(LongCount.load(), 1);
}

// --- Numeric editor ---------------------------------------------------------------------------

float EditValue = 0;
uint8_t EditFormat = 0;
std::atomic<int> EditDone{0};

void EditFirmware() {
    WaitMs(100);
    PowerKeyEnabled = 1;
    BacklightTime = 0;  // every short press is reported
    SettingsFlags.store(0);
    PressConsumed = 1;
    WriteTextLine(MenuTitleGF);
    EditNumber(&EditValue, EditFormat);
    EditDone.store(1);
    for (;;) PollKey();
}

class EditorTest : public MachineTest {
protected:
    // Returns with the editor waiting for keys, cursor on cell 12.
    void StartEditor(float value, uint8_t format) {
        EditValue = value;
        EditFormat = format;
        EditDone.store(0);
        Start(EditFirmware);
        Tick(2);
    }
    // A short press; returns once the cursor is back on.
    void Short() {
        ModeDown();
        Tick(1);
        ModeUp();
        Tick(2);
    }
    // A long press and its release.
    void Long() {
        ModeDown();
        Tick(15);
        ModeUp();
        Tick(1);
    }
    static std::string Padded(const std::string& s) { return s + std::string(12 - s.size(), ' '); }
};

TEST_F(EditorTest, FormatsShowTruncatedDigitsAndEndAfterTheLastDigit) {
    const struct {
        uint8_t format;
        float value;
        const char* shown;
        std::vector<int> cursorCells;  // after each long press before the last
        float stored;                  // confirmed without a change
    } cases[] = {
        {0, 0.43f, "0.43", {14, 15}, 0.43f},
        {0, 0.29f, "0.28", {14, 15}, 0.28f},
        {7, 1.6f, "1.60", {14, 15}, 1.6f},  // any other format is D.DD
        {1, 9999.999f, "9999.9", {13, 14, 15, 17}, 9999.9f},
        {1, 0.7f, "0000.6", {13, 14, 15, 17}, 0.6f},
        {2, 5.0f, "005.000", {13, 14, 16, 17, 18}, 5.0f},
        {2, 999.999f, "999.999", {13, 14, 16, 17, 18}, 999.999f},
        {3, 300.0f, "00300", {13, 14, 15, 16}, 300.0f},
        {3, 27413.0f, "27413", {13, 14, 15, 16}, 27413.0f},
        // Values the layout cannot hold are clipped into it.
        {0, 12.5f, "9.99", {14, 15}, 9.99f},
        {3, -5.0f, "00000", {13, 14, 15, 16}, 0.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "format " << int(c.format) << " value " << c.value);
        ResetSimulator();
        StartEditor(c.value, c.format);
        EXPECT_EQ(Line(0), Padded("GF"));
        EXPECT_EQ(Line(1), Padded(c.shown));
        EXPECT_EQ(EditorActive, 1);
        EXPECT_EQ(LcdCursorOn.load(), 1);
        EXPECT_EQ(LcdPosition.load(), 12);
        for (const int cell : c.cursorCells) {
            Long();
            EXPECT_EQ(EditDone.load(), 0);
            EXPECT_EQ(LcdPosition.load(), cell);
            EXPECT_EQ(LcdCursorOn.load(), 1);
        }
        EXPECT_EQ(EditValue, c.value);  // written back only at the end
        Long();
        ASSERT_EQ(EditDone.load(), 1);
        EXPECT_EQ(EditValue, c.stored);
        EXPECT_EQ(EditorActive, 0);
        EXPECT_EQ(LcdCursorOn.load(), 0);
        EXPECT_EQ(Line(1), Padded(c.shown));
    }
}

TEST_F(EditorTest, IncrementWrapsNineToZeroWithoutCarry) {
    StartEditor(9.96f, 0);
    ASSERT_EQ(Line(1), Padded("9.96"));
    Short();
    EXPECT_EQ(Line(1), Padded("0.96"));
    EXPECT_EQ(LcdPosition.load(), 12);
    EXPECT_EQ(LcdCursorOn.load(), 1);
    Long();
    Short();
    EXPECT_EQ(Line(1), Padded("0.06"));
    EXPECT_EQ(LcdPosition.load(), 14);
    Long();
    for (int i = 0; i < 3; ++i) Short();
    EXPECT_EQ(Line(1), Padded("0.09"));
    Short();
    EXPECT_EQ(Line(1), Padded("0.00"));
    EXPECT_EQ(LcdPosition.load(), 15);
    EXPECT_EQ(EditValue, 9.96f);
    Long();
    ASSERT_EQ(EditDone.load(), 1);
    EXPECT_EQ(EditValue, 0.0f);
}

TEST_F(EditorTest, EditedDigitsAreStoredWithTheFormatsScale) {
    StartEditor(300.0f, 3);
    Short();  // 10300
    Long();
    Long();
    Short();
    Short();  // 10500
    Long();
    Long();
    Short();  // 10501
    EXPECT_EQ(Line(1), Padded("10501"));
    Long();
    ASSERT_EQ(EditDone.load(), 1);
    EXPECT_EQ(EditValue, 10501.0f);
}

TEST_F(EditorTest, PowerOffDuringEditingLeavesTheValueUnchanged) {
    StartEditor(0.43f, 0);
    Short();
    Long();
    ASSERT_EQ(Line(1), Padded("1.43"));
    ClickPower();
    Tick(1);
    EXPECT_EQ(FirmwareStopped.load(), 1);
    EXPECT_EQ(FirmwareRunning.load(), 0u);
    EXPECT_EQ(EditDone.load(), 0);
    EXPECT_EQ(EditValue, 0.43f);
}

TEST_F(EditorTest, DisplayIsRewrittenOnlyAfterAnIncrementOrABatteryChange) {
    // Markers put into the LCD behind the firmware's back survive until it rewrites them.
    const auto markLcd = [] {
        LcdCells[0].store('X');
        LcdCells[20].store('X');
    };
    const auto marksKept = [] { return LcdCells[0].load() == 'X' && LcdCells[20].load() == 'X'; };
    StartEditor(0.43f, 0);
    markLcd();
    Tick(20);
    EXPECT_TRUE(marksKept());
    Long();
    EXPECT_TRUE(marksKept());
    EXPECT_EQ(LcdPosition.load(), 14);

    BatteryOk.store(0);
    Tick(1);
    EXPECT_FALSE(marksKept());
    EXPECT_EQ(Line(0), std::string("GF         ") + char(RomToGlyph(0x01)));
    EXPECT_EQ(Line(1), Padded("0.43"));
    Tick(1);
    EXPECT_EQ(LcdPosition.load(), 14);
    EXPECT_EQ(LcdCursorOn.load(), 1);
    markLcd();
    Tick(10);
    EXPECT_TRUE(marksKept());

    Short();
    EXPECT_FALSE(marksKept());
    EXPECT_EQ(Line(1), Padded("0.53"));
    EXPECT_EQ(LcdPosition.load(), 14);
    EXPECT_EQ(LcdCursorOn.load(), 1);
}

}  // namespace
