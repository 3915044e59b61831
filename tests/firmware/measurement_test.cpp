// The measurement cycle: the real cycle on the firmware thread and the real host tick and
// timer interrupt, fed with exact counts per second.
//
// The background source is silenced (its phase pushed far ahead), and each second's count
// is put into the interrupt's running count while the firmware is parked, at a tick after
// which nothing restarts the second before it closes. The interrupt then hands the count over
// at the second boundary as it would any detector pulses.
#include "firmware/measurement.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "firmware/display.h"
#include "firmware/firmware_state.h"
#include "peripherals/lcd_controller.h"
#include "peripherals/pulse_source.h"
#include "peripherals/speech_memory.h"
#include "peripherals/timer_isr.h"
#include "support/machine.h"

namespace {

// The settings the test firmware measures with; written before the firmware starts.
struct CycleSettings {
    uint8_t mode = 1;
    uint8_t flags = 0;  // SettingsFlags: voice mode, clicks
    uint8_t paramGN = 2;
    uint8_t battery = 1;
    float doseRateThreshold = 9999.999f;
    float fluxThreshold = 27413.0f;
    float doseThreshold = 999.999f;
    float dose = 0.0f;
};
CycleSettings Settings;

// What the cycle left behind each time it returned.
struct ExitRecord {
    uint8_t shortPress, longPress, thresholdAlarm, overRange, doseAlarm, alarmTone;
};
std::atomic<int> Exits{0};
ExitRecord LastExit;

void CycleFirmware() {
    WaitMs(100);
    CoefGF.store(0.43f);
    CoefBF = 0.68f;
    CoefAF = 1.6f;
    ParamGN = Settings.paramGN;
    ParamSF = 4;
    ParamAE = 2;
    DoseRateThreshold = Settings.doseRateThreshold;
    FluxThreshold = Settings.fluxThreshold;
    DoseThreshold = Settings.doseThreshold;
    AccumulatedDose = Settings.dose;
    SettingsFlags.store(Settings.flags);
    BacklightTime = 0;  // every short press is reported
    PressConsumed = 1;
    BatteryOk.store(Settings.battery);
    MeasureMode = Settings.mode;
    for (;;) {
        MeasurementCycle();
        LastExit = {ShortPress,       LongPress, ThresholdAlarm.load(),
                    OverRange.load(), DoseAlarm, AlarmTone.load()};
        Exits.fetch_add(1);
    }
}

std::vector<uint8_t> Glyphs(const std::vector<uint8_t>& rom) {
    std::vector<uint8_t> glyphs;
    for (uint8_t c : rom) glyphs.push_back(RomToGlyph(c));
    return glyphs;
}

std::vector<uint8_t> Text(const uint8_t* zeroTerminated) {
    std::vector<uint8_t> text;
    for (const uint8_t* p = zeroTerminated; *p != 0; ++p) text.push_back(*p);
    return text;
}

// Cells 0-9 of line 1: the title, then the error field (blank in the dose mode).
std::vector<uint8_t> ExpectedTitleLine(uint8_t mode, int error) {
    static const uint8_t* const titles[] = {nullptr, TitleGamma, TitleBeta, nullptr,  TitleAlpha,
                                            nullptr, nullptr,    nullptr,   TitleDose};
    std::vector<uint8_t> line = Text(titles[mode]);
    line.resize(6, 0x20);
    if (mode == 8) {
        line.resize(10, 0x20);
    } else {
        line.push_back(CharPlusMinus);
        line.push_back(error >= 10 ? static_cast<uint8_t>('0' + error / 10) : 0x20);
        line.push_back(static_cast<uint8_t>('0' + error % 10));
        line.push_back(CharPercent);
    }
    return Glyphs(line);
}

// Line 2: the number, a space when the number leaves room for it, then the mode's unit,
// cut at the end of the line.
std::vector<uint8_t> ExpectedReadingLine(uint8_t mode, const std::string& number) {
    std::vector<uint8_t> line(number.begin(), number.end());
    if (line.size() < 6) line.push_back(0x20);
    const uint8_t* unit = mode == 1 ? UnitDoseRate : mode == 8 ? UnitDose : UnitFlux;
    for (uint8_t c : Text(unit)) line.push_back(c);
    line.resize(12, 0x20);
    return Glyphs(line);
}

// The samples of speech message n, taken from the image's directory and pages.
std::vector<uint8_t> MessageSamples(uint8_t n) {
    const uint8_t* directory = VoiceImageBase + VoiceHeaderSize;
    uint32_t page = 1;
    for (uint8_t i = 0; i < n; ++i) page += directory[i];
    const uint8_t* start = VoiceImageBase + VoiceHeaderSize + page * VoicePageSize;
    return std::vector<uint8_t>(start, start + directory[n] * VoicePageSize);
}

class MeasurementTest : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        Settings = CycleSettings{};
        Exits.store(0);
    }

    // Powers on into the test firmware; after the first tick the cycle has been entered and
    // waits in its first key poll.
    void StartCycle() {
        Start(CycleFirmware);
        PulsePhase = 1 << 30;  // the background source draws no pulse for days
        Tick();
    }

    // One second with exactly `count` pulses: ticks until the interrupt closes the second,
    // then the tick of the cycle's per-second step (its screen is on the LCD after it) and the
    // tick that finishes the pass (announcement and restart). The next count can be put in
    // right away: nothing restarts the second before it closes.
    void FeedSecond(uint32_t count) {
        RunningCount.store(RunningCount.load() + count);
        for (int i = 0; i < 12 && SecondElapsed.load() == 0; ++i) Tick();
        ASSERT_EQ(SecondElapsed.load(), 1) << "no second closed";
        Tick(2);
    }
};

// --- Direct tests of the arithmetic ------------------------------------------------------

TEST(LinearityCorrectionTest, MatchesTheCorrectionCurve) {
    ResetSimulator();
    ParamAE = 2;
    const struct {
        float in;
        double out;
        double halfDigit;  // half a unit of the last digit given
    } cases[] = {
        {1.0f, 0.99863, 5e-6},  {10.0f, 9.8682, 5e-5},  {100.0f, 91.741, 5e-4},
        {200.0f, 185.32, 5e-3}, {500.0f, 643.52, 5e-3}, {1000.0f, 2427.2, 5e-2},
        {0.0f, 0.0, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        DisplayValue = c.in;
        LinearityCorrection();
        EXPECT_NEAR(DisplayValue, c.out, c.halfDigit);
    }
    ResetSimulator();
}

TEST(RateChangeTestTest, RestartsOnlyWhenTheDeviationExceedsTheAllowance) {
    ResetSimulator();
    const struct {
        float sum, seconds;
        uint8_t sf, length;
        uint32_t windowSum;
        bool restarted;
    } cases[] = {
        // mean 31, one second of 9: deviation 22, allowance 4 x (3 + 2.5) = 22.
        {62, 2, 4, 1, 9, false},
        {63, 2, 4, 1, 9, true},  // deviation 22.5
        {62, 2, 1, 1, 9, true},  // allowance 5.5
        {62, 2, 4, 2, 62, false},
        // 100 seconds of 2, then 37: deviation 34.65 against 34.33; then 36: 33.66 against 34.
        {237, 101, 4, 1, 37, true},
        {236, 101, 4, 1, 36, false},
        {236, 101, 4, 2, 38, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.sum << "/" << c.seconds << " L=" << int{c.length}
                                        << " S=" << c.windowSum);
        AvgCountSum = c.sum;
        AvgSeconds = c.seconds;
        ParamSF = c.sf;
        EXPECT_EQ(RateChangeTest(c.length, c.windowSum), c.restarted);
        EXPECT_EQ(AvgCountSum, c.restarted ? static_cast<float>(c.windowSum) : c.sum);
        EXPECT_EQ(AvgSeconds, c.restarted ? static_cast<float>(c.length) : c.seconds);
    }
    ResetSimulator();
}

// --- Readings through the real cycle -------------------------------------------------------

struct SecondExpect {
    uint32_t count;
    const char* shown;  // number on line 2; nullptr: not checked
    int error;          // percent shown on line 1
    int fill = -1;      // WindowFill after the second; -1: not checked
    float sum = -1;     // AvgCountSum and AvgSeconds after the second; -1: not checked
    float seconds = -1;
};

struct Sequence {
    const char* name;
    uint8_t mode;
    uint8_t paramGN;
    float dose;
    std::vector<SecondExpect> seconds;
};

std::vector<SecondExpect> SteadyThen(uint32_t last, int fill, float sum, float seconds) {
    std::vector<SecondExpect> run(100, SecondExpect{2, nullptr, -1});
    run.push_back({last, nullptr, -1, fill, sum, seconds});
    return run;
}

TEST_F(MeasurementTest, ReadingsErrorsAndAverageFollowTheCounts) {
    const Sequence sequences[] = {
        {"gamma, a step up from the background",
         1,
         2,
         0,
         {{3, "1.26", 99},
          {2, "1.05", 53},
          {1, "0.83", 48},
          {4, "1.05", 37},
          {2, "1.01", 34},
          {3, "1.05", 30},
          {2, "1.02", 29},
          {2, "0.99", 27},
          {40, "2.78", 15, -1, 59, 9},
          {41, "17.00", 13, 2, 81, 2},
          {39, "16.80", 10}}},
        {"beta", 2, 2, 0, {{5, "201", 53}, {3, "161", 42}, {4, "161", 34}}},
        {"alpha", 4, 2, 0, {{5, "473", 53}}},
        {"dose, no pulses", 8, 2, 1.5f, {{0, "1.500", 0}}},
        {"a first count too large for the window",
         1,
         2,
         0,
         {{300, "117.60", 6, 0, 300, 1}, {2, "0.83", 99, 1, 2, 1}}},
        {"background above the reading", 1, 4, 0, {{0, "0.00", 99}}},
        // The over-range announcement empties the average and its window.
        {"gamma at its limit", 1, 2, 0, {{4000, "9999.9", 1, 0, 0, 0}}},
        {"beta at its limit", 2, 2, 0, {{750, "30000", 4, 0, 0, 0}}},
        {"a count too large for the window empties it",
         1,
         2,
         0,
         {{2, nullptr, 99, 1},
          {2, nullptr, 60, 2},
          {300, nullptr, 6, 0, 300, 1},
          {2, "0.83", 99, 1, 2, 1}}},
        {"a deviation equal to the allowance",
         1,
         2,
         0,
         {{53, nullptr, 16}, {9, nullptr, 15, 2, 62, 2}}},
        {"a deviation just above the allowance",
         1,
         2,
         0,
         {{54, nullptr, 16}, {9, nullptr, 40, 1, 9, 1}}},
        {"100 seconds of 2, then 37", 1, 2, 0, SteadyThen(37, 1, 37, 1)},
        {"100 seconds of 2, then 36", 1, 2, 0, SteadyThen(36, 40, 236, 101)},
    };
    for (const auto& seq : sequences) {
        SCOPED_TRACE(seq.name);
        ResetSimulator();
        Settings = CycleSettings{};
        Settings.mode = seq.mode;
        Settings.paramGN = seq.paramGN;
        Settings.dose = seq.dose;
        StartCycle();
        for (size_t i = 0; i < seq.seconds.size(); ++i) {
            const SecondExpect& s = seq.seconds[i];
            SCOPED_TRACE(testing::Message() << "second " << i + 1 << ", count " << s.count);
            FeedSecond(s.count);
            if (HasFatalFailure()) return;
            if (s.error >= 0) {
                std::vector<uint8_t> line1 = Cells(0);
                line1.resize(10);
                EXPECT_EQ(line1, ExpectedTitleLine(seq.mode, s.error));
            }
            if (s.shown != nullptr) {
                EXPECT_EQ(Cells(1), ExpectedReadingLine(seq.mode, s.shown));
            }
            if (s.fill >= 0) {
                EXPECT_EQ(WindowFill, s.fill);
            }
            if (s.sum >= 0) {
                EXPECT_EQ(AvgCountSum, s.sum);
                EXPECT_EQ(AvgSeconds, s.seconds);
            }
        }
    }
}

TEST_F(MeasurementTest, ErrorFollowsTheSumOfTheAverage) {
    const struct {
        uint32_t sum;
        int error;
    } cases[] = {{0, 99},  {1, 99},   {3, 99},  {4, 60},    {5, 53},   {6, 48},
                 {23, 25}, {100, 12}, {170, 9}, {14400, 1}, {20000, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sum);
        ResetSimulator();
        Settings = CycleSettings{};
        Settings.mode = 4;
        StartCycle();
        FeedSecond(c.sum);
        if (HasFatalFailure()) return;
        std::vector<uint8_t> line1 = Cells(0);
        line1.resize(10);
        EXPECT_EQ(line1, ExpectedTitleLine(4, c.error));
    }
}

TEST_F(MeasurementTest, DoseGrowsInTheGammaAndDoseModesOnly) {
    // The dose of one second of 100 pulses: its gamma dose rate, corrected, over an hour.
    ParamAE = 2;
    DisplayValue = 100 * 0.43f;
    LinearityCorrection();
    const double secondDose = DisplayValue / 3600000.0;
    const float start = 0.5f;
    const float afterOne = static_cast<float>(start + secondDose);
    const float afterTwo = static_cast<float>(afterOne + secondDose);
    ASSERT_GT(afterTwo, afterOne);
    ASSERT_GT(afterOne, start);
    for (uint8_t mode : {1, 2, 4, 8}) {
        SCOPED_TRACE(int{mode});
        const bool grows = mode == 1 || mode == 8;
        ResetSimulator();
        Settings = CycleSettings{};
        Settings.mode = mode;
        Settings.dose = start;
        StartCycle();
        FeedSecond(100);
        EXPECT_EQ(AccumulatedDose, grows ? afterOne : start);
        FeedSecond(100);
        EXPECT_EQ(AccumulatedDose, grows ? afterTwo : start);
    }
}

TEST_F(MeasurementTest, DoseHoldsAtItsLimit) {
    // One unit of the last place below the limit; a second of 2326 pulses (about 2428
    // uSv/h after the correction) carries the dose past it.
    Settings.mode = 8;
    Settings.dose = 9999.8994140625f;
    StartCycle();
    for (int second = 1; second <= 3; ++second) {
        SCOPED_TRACE(second);
        FeedSecond(2326);
        EXPECT_EQ(AccumulatedDose, 9999.9f);
        EXPECT_EQ(Cells(1), ExpectedReadingLine(8, "9999.900"));
        EXPECT_EQ(DoseAlarm, 1);
        // The averaged reading is below the gamma limit, so it clears the flag again.
        EXPECT_EQ(OverRange.load(), 0);
        EXPECT_EQ(AnnounceCountdown.load(), 0);
    }
    EXPECT_TRUE(played.wavs.empty());  // voice off and no over-range: nothing is said
}

// The second that carries the dose to its limit forces one announcement; the seconds after it,
// with the dose held at the limit, do not: the next is the periodic one 60 seconds later.
TEST_F(MeasurementTest, SaturatedDoseForcesOneAnnouncementOnly) {
    for (uint8_t mode : {1, 8}) {
        SCOPED_TRACE(int{mode});
        ResetSimulator();
        played.wavs.clear();
        Settings = CycleSettings{};
        Settings.mode = mode;
        Settings.flags = 1;                // periodic voice, no clicks
        Settings.dose = 9999.8994140625f;  // one unit of the last place below the limit
        StartCycle();
        std::vector<int> announced;
        size_t heard = 0;
        float dose = Settings.dose;
        for (int second = 1; second <= 62; ++second) {
            SCOPED_TRACE(second);
            FeedSecond(2326);  // about 2428 uSv/h: a dose step of 0.00067 mSv, no over-range
            if (HasFatalFailure()) return;
            EXPECT_GE(AccumulatedDose, dose);  // never falls
            EXPECT_EQ(AccumulatedDose, 9999.9f);
            dose = AccumulatedDose;
            const size_t now = PlayedSamples().size();
            if (now != heard) announced.push_back(second);
            heard = now;
        }
        EXPECT_EQ(announced, (std::vector<int>{1, 61}));
    }
}

// --- Announcements -------------------------------------------------------------------------

struct AnnouncedSecond {
    uint32_t count;
    bool pressFirst;  // a short press before the second
    bool announced;   // an announcement ends the second (and restarts the next)
    std::vector<uint8_t> messages;
};

struct AnnouncementCase {
    const char* name;
    uint8_t mode;
    uint8_t voice;
    uint8_t battery;
    float dose;
    std::vector<AnnouncedSecond> seconds;
};

std::vector<AnnouncedSecond> Quiet(int n, uint32_t count) {
    return std::vector<AnnouncedSecond>(n, AnnouncedSecond{count, false, false, {}});
}
std::vector<AnnouncedSecond> Counts(std::initializer_list<uint32_t> counts) {
    std::vector<AnnouncedSecond> run;
    for (uint32_t c : counts) run.push_back({c, false, false, {}});
    return run;
}
std::vector<AnnouncedSecond> operator+(std::vector<AnnouncedSecond> a,
                                       const std::vector<AnnouncedSecond>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
std::vector<AnnouncedSecond> Says(uint32_t count, std::vector<uint8_t> messages,
                                  bool pressFirst = false) {
    return {{count, pressFirst, true, std::move(messages)}};
}

TEST_F(MeasurementTest, AnnouncementsSayWhatTheRulesChoose) {
    // Two seconds of 2 pulses read 0.83 (message 110, "eighty-three hundredths", the unit, the
    // middle verdict); of 1 pulse 0.40; of 3 pulses 1.26.
    const std::vector<uint8_t> reading083 = {110, 26, 57, 100, 104};
    const AnnouncementCase cases[] = {
        {"periodic: the first at the 60th second", 1, 1, 1, 0, Quiet(59, 2) + Says(2, reading083)},
        {"periodic: an over-range restarts the 60 seconds", 1, 1, 1, 0,
         Quiet(30, 2) + Says(4000, {109}) + Quiet(59, 2) + Says(2, reading083)},
        {"voice off: over-range every second", 1, 0, 1, 0,
         Says(4000, {109}) + Says(4000, {109}) + Quiet(1, 2)},
        {"voice off: beta over-range", 2, 0, 1, 0, Says(750, {109})},
        {"voice off: alpha over-range", 4, 0, 1, 0, Says(400, {109})},
        {"voice off: dose mode, averaged gamma over-range", 8, 0, 1, 0, Says(4000, {109})},
        {"periodic: dose reaching its limit, dose alarm", 8, 1, 1, 9999.8994140625f,
         Says(2326, {111}) + Quiet(2, 2326)},
        {"manual: low reading", 1, 2, 1, 0, Quiet(1, 1) + Says(1, {110, 40, 100, 103}, true)},
        {"manual: middle reading", 1, 2, 1, 0, Quiet(1, 2) + Says(2, reading083, true)},
        {"manual: high reading", 1, 2, 1, 0,
         Quiet(1, 3) + Says(3, {110, 1, 91, 60, 100, 105}, true)},
        // The verdict follows the reading, not its digits: 13 pulses in 9 seconds read
        // 0.6006 (shown 0.60), 20 in 7 seconds 1.2066 (shown 1.20).
        {"manual: just above 0.6", 1, 2, 1, 0,
         Counts({2, 1, 2, 1, 2, 1, 2, 1}) + Says(1, {110, 42, 100, 104}, true)},
        {"manual: just above 1.2", 1, 2, 1, 0,
         Counts({3, 3, 3, 3, 3, 3}) + Says(2, {110, 1, 47, 100, 105}, true)},
        {"manual: beta says nothing", 2, 2, 1, 0, Quiet(1, 5) + Says(5, {}, true)},
        {"manual: low battery", 1, 2, 0, 0, Quiet(1, 1) + Says(1, {110, 40, 100, 103, 108}, true)},
        {"voice off: over-range with low battery", 1, 0, 0, 0, Says(4000, {109, 108})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResetSimulator();
        played.wavs.clear();
        Settings = CycleSettings{};
        Settings.mode = c.mode;
        Settings.flags = c.voice;
        Settings.battery = c.battery;
        Settings.dose = c.dose;
        StartCycle();
        std::vector<uint8_t> expected;
        for (size_t i = 0; i < c.seconds.size(); ++i) {
            const AnnouncedSecond& s = c.seconds[i];
            SCOPED_TRACE(testing::Message() << "second " << i + 1 << ", count " << s.count);
            if (s.pressFirst) PressMode(2);
            FeedSecond(s.count);
            if (HasFatalFailure()) return;
            for (uint8_t m : s.messages) {
                const std::vector<uint8_t> samples = MessageSamples(m);
                expected.insert(expected.end(), samples.begin(), samples.end());
            }
            const std::vector<uint8_t> heard = PlayedSamples();
            ASSERT_EQ(heard.size(), expected.size());
            ASSERT_TRUE(heard == expected);
            if (s.announced) {
                // A fresh second began at the announcement, one tick ago.
                EXPECT_EQ(TicksToSecond.load(), 1995u - 200u);
                EXPECT_EQ(AnnounceCountdown.load(), 60);
            } else {
                EXPECT_LT(TicksToSecond.load(), 1995u - 200u);
            }
        }
        EXPECT_EQ(Exits.load(), 0);  // a press in the manual voice mode stays in the cycle
    }
}

// --- Pulse star and exit -------------------------------------------------------------------

TEST_F(MeasurementTest, PulseStarShowsForThreePasses) {
    StartCycle();
    FeedSecond(0);
    const uint8_t blank = RomToGlyph(0x20);
    EXPECT_EQ(LcdCells[10].load(), blank);
    CheckSourcePulses = 1;
    Tick();  // the pulse arrives after this tick's pass
    EXPECT_EQ(LcdCells[10].load(), blank);
    for (int pass = 1; pass <= 4; ++pass) {
        SCOPED_TRACE(pass);
        Tick();
        EXPECT_EQ(LcdCells[10].load(), pass <= 3 ? RomToGlyph(CharStar) : blank);
    }
}

TEST_F(MeasurementTest, LeavingClearsEveryAlarmFlag) {
    const struct {
        const char* name;
        uint8_t mode;
        uint8_t voice;
        int holdTicks;  // at most; a long press ends the cycle while the key is held
        uint32_t count;
        bool thresholdAlarm, overRange;
        uint8_t shortPress, longPress;
    } cases[] = {
        {"gamma alarm, short press", 1, 0, 2, 5, true, false, 1, 0},
        {"gamma alarm, long press", 1, 0, 20, 5, true, false, 0, 1},
        {"manual voice, long press", 1, 2, 20, 5, true, false, 0, 1},
        // The flux alarm is raised as well; the over-range only mutes it.
        {"beta over-range, long press", 2, 0, 20, 750, true, true, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResetSimulator();
        Exits.store(0);
        Settings = CycleSettings{};
        Settings.mode = c.mode;
        Settings.flags = c.voice;
        Settings.doseRateThreshold = 0.5f;
        Settings.doseThreshold = 0.0f;
        StartCycle();
        FeedSecond(c.count);
        FeedSecond(c.count);  // 5 and 5: an error of 37 %, low enough for an alarm
        if (HasFatalFailure()) return;
        EXPECT_EQ(ThresholdAlarm.load(), c.thresholdAlarm ? 1 : 0);
        EXPECT_EQ(OverRange.load(), c.overRange ? 1 : 0);
        EXPECT_EQ(DoseAlarm, c.mode == 1 ? 1 : 0);
        // Hold the key; before every tick the tone is made to sound, as in the first quarter of
        // an alarmed second, so only the exit itself can have silenced it.
        ModeDown();
        for (int i = 0; i < c.holdTicks && Exits.load() == 0; ++i) {
            AlarmTone.store(1);
            Tick();
        }
        ModeUp();
        for (int i = 0; i < 3 && Exits.load() == 0; ++i) {
            AlarmTone.store(1);
            Tick();
        }
        ASSERT_EQ(Exits.load(), 1);
        EXPECT_EQ(LastExit.shortPress, c.shortPress);
        EXPECT_EQ(LastExit.longPress, c.longPress);
        EXPECT_EQ(LastExit.thresholdAlarm, 0);
        EXPECT_EQ(LastExit.overRange, 0);
        EXPECT_EQ(LastExit.doseAlarm, 0);
        EXPECT_EQ(LastExit.alarmTone, 0);
    }
}

}  // namespace
