// The settings menu on the real firmware thread: the ring, the cycled and toggled items, the
// editor layouts, the device variant, the dose reset and the coefficients.
#include "firmware/settings_menu.h"

#include <atomic>
#include <string>
#include <vector>

#include "firmware/display.h"
#include "firmware/firmware_state.h"
#include "firmware/instrument_fixture.h"
#include "peripherals/lcd_controller.h"
#include "platform/headless/lcd_text.h"

namespace {

std::atomic<uint8_t> MenuReturned{0};

// The menu alone, as the power-on leaves the keys; it reports its return and then idles.
void MenuOnly() {
    WaitMs(100);
    PowerKeyEnabled = 1;
    PressConsumed = 1;
    SettingsMenu();
    MenuReturned.store(1);
    for (;;) WaitMs(100);
}

class SettingsMenuTest : public InstrumentTest {
protected:
    // Starts the menu with the given lock and variant. The backlight setting is 0, so every
    // short press is reported.
    void StartMenu(uint8_t serviceLocked, uint8_t reduced = 0) {
        MenuReturned.store(0);
        ServiceLocked = serviceLocked;
        ReducedVariant = reduced;
        Start(MenuOnly);
        Tick(1);
    }
};

TEST_F(SettingsMenuTest, ShortPressesWalkTheRingOfTheLockAndTheVariant) {
    const struct {
        uint8_t serviceLocked, reduced;
        std::vector<int> ring;  // MenuIndex after each short press
    } cases[] = {
        {1, 0, {8, 9, 10, 11, 12, 13, 14, 0, 8}},
        {1, 1, {8, 9, 10, 11, 12, 0, 8}},
        {0, 0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 0, 1}},
        {0, 1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "locked " << int{c.serviceLocked} << ", reduced " << int{c.reduced});
        ResetSimulator();
        StartMenu(c.serviceLocked, c.reduced);
        EXPECT_EQ(MenuIndex, 0);
        EXPECT_EQ(MenuActive, 1);
        std::vector<int> walked;
        for (size_t i = 0; i < c.ring.size(); ++i) {
            ShortPress();
            walked.push_back(MenuIndex);
        }
        EXPECT_EQ(walked, c.ring);
    }
}

TEST_F(SettingsMenuTest, LongPressesStepTheCycledAndToggledItems) {
    const struct {
        int item;
        uint8_t reduced, flags, backlight, digit;  // digit: ParamGN, ParamSF or ParamAE
        std::vector<std::string> shown;            // line 2 before and after each long press
        uint8_t flagsAfter;
    } cases[] = {
        {4, 0, 0, 0, 3, {"3 мкЗв/ч    ", "4 мкЗв/ч    ", "0 мкЗв/ч    ", "1 мкЗв/ч    "}, 0},
        {5, 0, 0, 0, 8, {"8           ", "9           ", "1           ", "2           "}, 0},
        {6, 0, 0, 0, 8, {"8           ", "9           ", "0           ", "1           "}, 0},
        {12, 0, 0, 0, 0, {"BЫKЛ        ", "ПEPИOДИЧECKИ", "PУЧHOЙ      ", "BЫKЛ        "}, 0},
        {12, 0, 7, 0, 0, {"            ", "BЫKЛ        ", "ПEPИOДИЧECKИ"}, 5},
        {12, 1, 1, 0, 0, {"BKЛ         ", "BЫKЛ        ", "BKЛ         "}, 1},
        {13, 0, 2, 0, 0, {"BЫKЛ        ", "BKЛ         ", "BЫKЛ        "}, 2},
        {14,
         0,
         0,
         0,
         0,
         {"BЫKЛ        ", "15 c        ", "30 c        ", "60 c        ", "BЫKЛ        "},
         0},
        {14, 0, 2, 20, 0, {"            ", "            ", "            ", "BЫKЛ        "}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "item " << c.item << ", reduced " << int{c.reduced}
                                        << ", flags " << int{c.flags});
        ResetSimulator();
        SettingsFlags.store(c.flags);
        BacklightTime = c.backlight;
        ParamGN = ParamSF = ParamAE = c.digit;
        StartMenu(0, c.reduced);
        ShortPresses(c.item);
        ASSERT_EQ(MenuIndex, c.item);
        for (size_t i = 0; i < c.shown.size(); ++i) {
            if (i > 0) LongPress();
            EXPECT_EQ(LcdLineText(1), c.shown[i]) << "after " << i << " long presses";
        }
        EXPECT_EQ(SettingsFlags.load(), c.flagsAfter);
        EXPECT_EQ(MenuIndex, c.item);
    }
}

TEST_F(SettingsMenuTest, NumberItemsEditInTheirLayoutsAndKeepAnUnchangedValue) {
    const struct {
        int item;
        std::string editor;  // line 2 as the editor opens
        int digits;          // long presses that end the editing
        std::string after;   // line 2 of the item afterwards
    } cases[] = {
        {2, "0.68        ", 3, "0.68        "}, {3, "1.60        ", 3, "1.60        "},
        {8, "9999.9      ", 5, "9999.90     "},  // the editor cuts the third decimal
        {9, "27413       ", 5, "27413       "}, {10, "999.999     ", 6, "999.999     "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "item " << c.item);
        ResetSimulator();
        CoefBF = 0.68f;
        CoefAF = 1.6f;
        DoseRateThreshold = 9999.999f;
        FluxThreshold = 27413.0f;
        DoseThreshold = 999.999f;
        StartMenu(0);
        ShortPresses(c.item);
        LongPress();
        EXPECT_EQ(EditorActive, 1);
        EXPECT_EQ(LcdLineText(1), c.editor);
        EXPECT_EQ(LcdCursorOn.load(), 1);
        for (int i = 1; i < c.digits; ++i) LongPress();
        EXPECT_EQ(EditorActive, 1) << "ended too early";
        LongPress();
        EXPECT_EQ(EditorActive, 0);
        EXPECT_EQ(LcdCursorOn.load(), 0);
        EXPECT_EQ(LcdLineText(1), c.after);
        EXPECT_EQ(MenuIndex, c.item);
    }
}

TEST_F(SettingsMenuTest, EditedGammaCoefficientShowsOnceThenThePulseSourceRestoresIt) {
    CoefGF.store(0.43f);
    CoefBF = 0.68f;
    StartMenu(0);
    ShortPress();  // GF
    EXPECT_EQ(LcdLineText(1), "0.43        ");
    LongPress();
    ShortPress();  // 0 -> 1 in the first digit
    LongPress();
    LongPress();
    LongPress();
    // 1.43 is stored as 1.42999995 and printed truncated.
    EXPECT_EQ(LcdLineText(1), "1.42        ");
    ShortPress();  // BF
    LongPress();
    LongPress();
    ShortPress();  // 6 -> 7 in the second digit
    LongPress();
    LongPress();
    EXPECT_EQ(CoefBF, 0.78f);
    ShortPresses(14);  // round the ring to GF again
    ASSERT_EQ(MenuIndex, 1);
    EXPECT_EQ(LcdLineText(1), "0.43        ");
    ShortPress();
    EXPECT_EQ(LcdLineText(1), "0.77        ");
}

TEST_F(SettingsMenuTest, DeviceVariantItemTogglesTheDesignationAndReducesTheMenuForGood) {
    StartMenu(0);
    ShortPresses(7);
    EXPECT_EQ(LcdLineText(0), "DV          ");
    EXPECT_EQ(LcdLineText(1), "DRK-20  VT5P");
    LongPress();
    EXPECT_EQ(DeviceVariant, 2);
    EXPECT_EQ(LcdLineText(1), "DRK-20  VT5 ");
    EXPECT_EQ(ReducedVariant, 1);
    LongPress();
    EXPECT_EQ(DeviceVariant, 0);
    EXPECT_EQ(LcdLineText(1), "DRK-20  VT5P");
    EXPECT_EQ(ReducedVariant, 1);
    ShortPresses(5);
    EXPECT_EQ(MenuIndex, 12);
    ShortPress();
    EXPECT_EQ(MenuIndex, 0);
    LongPress();  // leave
    EXPECT_EQ(MenuReturned.load(), 1);
    EXPECT_EQ(MenuActive, 0);
    EXPECT_EQ(ServiceLocked, 1);
}

using DoseResetTest = InstrumentTest;

TEST_F(DoseResetTest, SecondLongPressClearsTheDoseEvenAfterAPowerCycle) {
    PowerOnToMeasuring();
    AccumulatedDose = 1.5f;
    LongPress();
    ShortPresses(4);
    ASSERT_EQ(MenuIndex, 11);
    EXPECT_EQ(LcdLineText(0), "CБPOC ДOЗЫ  ");
    EXPECT_EQ(LcdLineText(1), "1.500  мЗв  ");
    LongPress();
    EXPECT_EQ(DoseResetArmed, 1);
    EXPECT_EQ(LcdLineText(1), "1.500  мЗв  ");
    ShortPress();  // on to 12, then out of the menu and through a power cycle
    ShortPresses(3);
    LongPress();
    PowerOff();
    PowerOnAgain();
    EXPECT_EQ(DoseResetArmed, 1);
    LongPress();
    ShortPresses(4);
    ASSERT_EQ(MenuIndex, 11);
    EXPECT_NE(AccumulatedDose, 0.0f);
    LongPress();
    EXPECT_EQ(AccumulatedDose, 0.0f);
    EXPECT_EQ(DoseResetArmed, 0);
    EXPECT_EQ(LcdLineText(1), "0.000  мЗв  ");
}

}  // namespace
