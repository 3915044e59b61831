// The main program on the real firmware thread: the power-on timeline, the retained
// settings, the service-menu entry, the reduced variant, and the sounds of a session.
#include "firmware/main_program.h"

#include <algorithm>

#include "firmware/firmware_state.h"
#include "firmware/instrument_fixture.h"
#include "host/host_tick.h"
#include "peripherals/pulse_source.h"
#include "peripherals/timer_isr.h"
#include "platform/headless/lcd_text.h"

namespace {

using PowerOnTest = InstrumentTest;

const std::string Blank = "            ";
const std::string Designation = "DRK-20  VT5P";
const std::string TelephoneLine = "+74955550123";

TEST_F(PowerOnTest, ScreenStandsTwentyTicksFromTheEighthThenGreetingAndMeasuring) {
    Start();
    Tick(7);
    EXPECT_EQ(LcdLineText(0), Blank);
    EXPECT_EQ(LcdLineText(1), Blank);
    Tick(1);
    EXPECT_EQ(LcdLineText(0), Designation);
    EXPECT_EQ(LcdLineText(1), TelephoneLine);
    EXPECT_EQ(LcdCursorOn.load(), 0);
    Tick(19);
    EXPECT_EQ(LcdLineText(0), Designation);
    EXPECT_EQ(LcdLineText(1), TelephoneLine);
    EXPECT_TRUE(played.wavs.empty());
    EXPECT_EQ(PowerKeyEnabled, 0);

    Tick(1);  // the 28th: custom characters, greeting, then the first measuring screen
    EXPECT_EQ(LcdLineText(0), "ГAMMA       ");
    ASSERT_EQ(played.wavs.size(), 1u);
    EXPECT_EQ(PlayedSamples(), MessageSamples(106));
    EXPECT_EQ(PowerKeyEnabled, 1);
    EXPECT_EQ(MeasureMode, 1);
}

TEST_F(PowerOnTest, FirstPowerOnGivesTheFactorySettings) {
    PowerOnToMeasuring();
    EXPECT_EQ(RetainedSignature, 0x55AAu);
    EXPECT_EQ(SettingsFlags.load(), 1);  // periodic voice, clicks off
    EXPECT_EQ(BacklightTime, 15);
    EXPECT_EQ(DoseRateThreshold, 9999.9990234375f);
    EXPECT_EQ(FluxThreshold, 27413.0f);
    EXPECT_EQ(DoseThreshold, 999.9990234375f);
    EXPECT_EQ(AccumulatedDose, 0.0f);
    EXPECT_EQ(CoefGF.load(), 0.43f);
    EXPECT_EQ(CoefBF, 0.68f);
    EXPECT_EQ(CoefAF, 1.6f);
    EXPECT_EQ(ParamGN, 2);
    EXPECT_EQ(ParamSF, 4);
    EXPECT_EQ(ParamAE, 2);
    EXPECT_EQ(DeviceVariant, 0);
    EXPECT_EQ(ReducedVariant, 0);
    EXPECT_EQ(ServiceLocked, 1);
    EXPECT_EQ(MenuActive, 0);
}

TEST_F(PowerOnTest, ModeKeySampledAtTheEighthTickOpensTheServiceMenuWithTheAccessValue) {
    const struct {
        int downAfter;  // ticks of the second power-on before MODE goes down
        float flux;
        bool service;
    } cases[] = {
        {0, 27413.0f, true},  {7, 27413.0f, true},  {8, 27413.0f, false},
        {0, 27412.0f, false}, {7, 30000.0f, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "down after " << c.downAfter << ", flux " << c.flux);
        ResetSimulator();
        PowerOnToMeasuring();
        FluxThreshold = c.flux;
        PowerOff();
        ClickPower();
        Tick(c.downAfter);
        ModeDown();
        Tick(PowerOnTicks - c.downAfter);
        // Held through the whole power-on: the greeting has played, then nothing moves until
        // the key comes up, however many ticks pass.
        EXPECT_EQ(FirmwarePark, ParkedOnModeKey);
        Tick(30);
        EXPECT_EQ(LcdLineText(0), Designation);
        EXPECT_EQ(SettingsFlags.load(), 0);
        EXPECT_TRUE(PlayedContains(MessageSamples(106)));
        ModeUp();
        Tick(1);
        EXPECT_EQ(SettingsFlags.load(), 1);
        EXPECT_EQ(MenuActive, c.service ? 1 : 0);
        EXPECT_EQ(ServiceLocked, c.service ? 0 : 1);
        if (c.service) {
            EXPECT_EQ(MenuIndex, 0);
            EXPECT_EQ(LcdLineText(0), "УCTAHOBKИ   ");
        } else {
            EXPECT_TRUE(LcdLineText(0).starts_with("ГAMMA"));
        }
    }
}

TEST_F(PowerOnTest, SettingsByteOutlivesThePowerCycleAndChoosesTheGreeting) {
    const struct {
        uint8_t flags;
        bool greeting;
    } cases[] = {{0x04, false}, {0x00, false}, {0x05, true}, {0x02, true}, {0x06, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "flags " << int{c.flags});
        ResetSimulator();
        PowerOnToMeasuring();
        SettingsFlags.store(c.flags);
        DoseThreshold = 5.0f;
        BacklightTime = 60;
        PowerOff();
        EXPECT_EQ(SavedSettings, c.flags);
        played.wavs.clear();
        PowerOnAgain();
        EXPECT_EQ(SettingsFlags.load(), c.flags);
        EXPECT_EQ(PlayedContains(MessageSamples(106)), c.greeting);
        // The rest of the retained settings are kept, not given factory values again.
        EXPECT_EQ(DoseThreshold, 5.0f);
        EXPECT_EQ(BacklightTime, 60);
    }
}

TEST_F(PowerOnTest, PowerClickDuringTheScreenActsOnlyAfterTheGreeting) {
    Start();
    Tick(10);
    ClickPower();
    Tick(PowerOnTicks - 11);
    EXPECT_EQ(FirmwareRunning.load(), 1u);
    EXPECT_TRUE(played.wavs.empty());
    Tick(1);  // greeting, then the first wait of the measuring switches off
    EXPECT_EQ(FirmwareRunning.load(), 0u);
    EXPECT_EQ(SavedSettings, 1);
    std::vector<uint8_t> both = MessageSamples(106);
    const std::vector<uint8_t> farewell = MessageSamples(107);
    both.insert(both.end(), farewell.begin(), farewell.end());
    EXPECT_EQ(PlayedSamples(), both);
}

TEST_F(PowerOnTest, ReducedVariantForcesVoiceAndBacklightUntilTheProgramRestarts) {
    PowerOnToMeasuring();
    DeviceVariant = 2;
    SettingsFlags.store(0x06);
    PowerOff();
    ClickPower();
    Tick(8);
    EXPECT_EQ(LcdLineText(0), "DRK-20  VT5 ");
    BacklightTime = 60;  // what the power-off left, whatever it was
    Tick(PowerOnTicks - 8);
    EXPECT_EQ(ReducedVariant, 1);
    EXPECT_EQ(SettingsFlags.load(), 1);
    EXPECT_EQ(BacklightTime, 15);

    // DV back to 0: the full designation shows again, but the variant stays reduced.
    DeviceVariant = 0;
    SettingsFlags.store(0x04);
    PowerOff();
    ClickPower();
    Tick(8);
    EXPECT_EQ(LcdLineText(0), Designation);
    Tick(PowerOnTicks - 8);
    EXPECT_EQ(ReducedVariant, 1);
    EXPECT_EQ(SettingsFlags.load(), 1);
}

// --- Sounds of a session ------------------------------------------------------------------

using SessionTest = InstrumentTest;

bool HasClick(const std::vector<uint8_t>& samples) {
    return std::find(samples.begin(), samples.end(), 255) != samples.end();
}

TEST_F(SessionTest, GammaThresholdEditedDownSoundsTheToneAndStopsTheClicks) {
    PowerOnToMeasuring();
    LongPress();      // menu, item 0
    ShortPresses(6);  // 8, 9, 10, 11, 12, 13
    LongPress();      // clicks on
    ShortPresses(3);  // 14, 0, 8
    ASSERT_EQ(MenuIndex, 8);
    LongPress();  // edit 9999.9 into 0050.0
    ShortPress();
    LongPress();
    ShortPress();
    LongPress();
    ShortPresses(6);
    LongPress();
    ShortPress();
    LongPress();
    ShortPress();
    LongPress();
    ASSERT_EQ(DoseRateThreshold, 50.0f);
    ShortPresses(7);  // round to item 0
    LongPress();      // measuring
    ASSERT_EQ(SettingsFlags.load(), 5);

    // The background alone stays below the threshold and clicks.
    played.wavs.clear();
    Tick(50);
    EXPECT_EQ(ThresholdAlarm.load(), 0);
    EXPECT_TRUE(HasClick(PlayedSamples()));

    // A check source of 200 pulses a second raises the alarm within the first seconds.
    for (int i = 0; i < 30 && ThresholdAlarm.load() == 0; ++i) {
        CheckSourcePulses += 20;
        Tick(1);
    }
    ASSERT_EQ(ThresholdAlarm.load(), 1);
    for (int i = 0; i < 12; ++i) {  // a click already running ends, the tone is armed
        CheckSourcePulses += 20;
        Tick(1);
    }
    played.wavs.clear();
    for (int i = 0; i < 40; ++i) {
        CheckSourcePulses += 20;
        Tick(1);
    }
    const std::vector<uint8_t> samples = PlayedSamples();
    EXPECT_FALSE(HasClick(samples));
    ASSERT_GE(samples.size(), 2u * 2004u);
    EXPECT_EQ(samples.size() % 2004, 0u);
    EXPECT_TRUE(
        std::all_of(samples.begin(), samples.end(), [](uint8_t s) { return s == 78 || s == 178; }));
}

TEST_F(SessionTest, BetaOverRangeIsAnnouncedEvenWithVoiceOff) {
    PowerOnToMeasuring();
    SettingsFlags.store(0);
    ShortPress();  // wakes the backlight only
    ShortPress();
    ASSERT_EQ(MeasureMode, 2);
    played.wavs.clear();
    for (int i = 0; i < 25 && !PlayedContains(MessageSamples(109)); ++i) {
        CheckSourcePulses += 100;
        Tick(1);
    }
    EXPECT_TRUE(PlayedContains(MessageSamples(109)));
    EXPECT_EQ(LcdLineText(1), "30000 мин⁻¹cм");
}

TEST_F(SessionTest, ManualVoiceSpeaksOnAShortPressAndKeepsTheMode) {
    PowerOnToMeasuring();
    LongPress();
    ShortPresses(5);  // 8 .. 12
    LongPress();      // periodic -> manual
    ASSERT_EQ(SettingsFlags.load() & 3, 2);
    ShortPresses(3);  // 13, 14, 0
    LongPress();
    Tick(30);
    played.wavs.clear();
    Tick(30);
    EXPECT_FALSE(PlayedContains(MessageSamples(110)));  // no announcement unasked
    ShortPress();
    Tick(12);
    EXPECT_EQ(MeasureMode, 1);
    EXPECT_TRUE(PlayedContains(MessageSamples(110)));
    EXPECT_TRUE(LcdLineText(0).starts_with("ГAMMA"));
}

}  // namespace
