// Number and text formatting into the screen image.
#include "firmware/formatting.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "firmware/firmware_state.h"
#include "host/reset.h"

namespace {

constexpr uint8_t Marker = '#';

class FormattingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSimulator();
        std::memset(DisplayText, Marker, sizeof DisplayText);
    }
    void TearDown() override { ResetSimulator(); }

    static std::string Cells(int from, int to) {
        return std::string(reinterpret_cast<const char*>(DisplayText) + from, to - from);
    }
    static const uint8_t* Text(const char* s) { return reinterpret_cast<const uint8_t*>(s); }
};

TEST_F(FormattingTest, NumberFormatterTruncatesAndLaysOutLineTwo) {
    const struct {
        float value;
        uint8_t decimals;
        uint8_t stop;
        const char* cells;  // from cell 12, without the trailing space
        uint8_t returned;
    } cases[] = {
        {0.0f, 2, 18, "0.00", 17},
        {0.98f, 2, 18, "0.98", 17},
        {10.0f, 2, 18, "10.00", 18},
        {100.0f, 2, 18, "100.00", 18},
        {1234.5f, 2, 18, "1234.5", 18},
        {9999.9f, 2, 18, "9999.9", 18},
        {0.43f, 2, 0, "0.43", 17},
        {1.6f, 2, 0, "1.60", 17},
        {0.7f, 2, 0, "0.69", 17},
        {2.3f, 2, 0, "2.29", 17},
        {9999.999f, 2, 0, "9999.99", 19},
        {12345.67f, 2, 0, "12345", 18},
        {123456.0f, 2, 0, "123456.00", 21},
        {0.0f, 0, 0, "0", 14},
        {95.0f, 0, 0, "95", 15},
        {1234.0f, 0, 0, "1234", 17},
        {30000.0f, 0, 0, "30000", 18},
        {1234567.0f, 0, 0, "1234567", 19},
        {0.0f, 3, 0, "0.000", 18},
        {1.5f, 3, 0, "1.500", 18},
        {999.999f, 3, 0, "999.999", 19},
        {9999.9f, 3, 0, "9999.900", 20},
        // The stop also ends the early return at a point in cell 17, and six integer
        // digits end the number at the stop.
        {12345.67f, 2, 18, "12345", 18},
        {123456.0f, 2, 18, "123456", 18},
        {1234567.0f, 3, 0, "1234567.000", 23},
        // A negative value prints as zero; one too large for 32 bits is clipped.
        {-5.25f, 2, 0, "0.00", 17},
        {-5.25f, 0, 0, "0", 14},
        {3.0e9f, 2, 0, "2147483.64", 22},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.value << " d=" << int(c.decimals) << " stop=" << int(c.stop));
        std::memset(DisplayText, Marker, sizeof DisplayText);
        DisplayValue = c.value;
        DigitStopCell = c.stop;
        const uint8_t returned = NumberFormatter(c.decimals);
        EXPECT_EQ(returned, c.returned);
        EXPECT_EQ(DigitStopCell, 0);
        const int length = static_cast<int>(std::strlen(c.cells));
        EXPECT_EQ(Cells(12, 12 + length), c.cells);
        // Only the printed cells and at most one space are written.
        if (c.returned == 12 + length + 1) {
            EXPECT_EQ(DisplayText[12 + length], ' ');
        } else {
            EXPECT_EQ(c.returned, 12 + length);
        }
        EXPECT_EQ(Cells(0, 12), std::string(12, Marker));
        EXPECT_EQ(Cells(c.returned, 24), std::string(24 - c.returned, Marker));
    }
}

TEST_F(FormattingTest, WriteTextAtCutsAtTheScreenEndAndBlanksTheRest) {
    const struct {
        uint8_t start;
        const char* text;
        uint8_t returned;
        const char* screen;  // all 24 cells afterwards
    } cases[] = {
        {12, "AB", 24, "############AB          "},
        {17, "mkZv/h", 24, "#################mkZv/h "},
        {20, "ABCD", 24, "####################ABCD"},
        {18, "ABCDEFG", 24, "##################ABCDEF"},
        {5, "", 24, "#####                   "},
        {0, "0123456789ABCDEFGHIJKLMNOPQ", 24, "0123456789ABCDEFGHIJKLMN"},
        {24, "AB", 24, "########################"},
        {30, "AB", 30, "########################"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.start) << " " << c.text);
        std::memset(DisplayText, Marker, sizeof DisplayText);
        EXPECT_EQ(WriteTextAt(c.start, Text(c.text)), c.returned);
        EXPECT_EQ(Cells(0, 24), c.screen);
    }
}

TEST_F(FormattingTest, WriteTextLineBlanksTheScreenFirst) {
    const struct {
        const char* text;
        const char* screen;
    } cases[] = {
        {"", "                        "},
        {"ABC", "ABC                     "},
        {"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ", "0123456789ABCDEFGHIJKLMN"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::memset(DisplayText, Marker, sizeof DisplayText);
        WriteTextLine(Text(c.text));
        EXPECT_EQ(Cells(0, 24), c.screen);
    }
    WriteTextLine(PowerOnText);
    EXPECT_EQ(Cells(0, 24), "DRK-20  VT5P+74955550123");
}

TEST_F(FormattingTest, WriteDesignationDropsTheLastLetterOfTheReducedVariant) {
    const struct {
        uint8_t cell;
        uint8_t variant;
        const char* screen;
        uint8_t reduced;
    } cases[] = {
        {0, 0, "DRK-20  VT5P############", 0},
        {12, 0, "############DRK-20  VT5P", 0},
        {0, 2, "DRK-20  VT5 ############", 1},
        {12, 2, "############DRK-20  VT5 ", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.cell) << " DV=" << int(c.variant));
        std::memset(DisplayText, Marker, sizeof DisplayText);
        ReducedVariant = 0;
        DeviceVariant = c.variant;
        WriteDesignation(c.cell);
        EXPECT_EQ(Cells(0, 24), c.screen);
        EXPECT_EQ(ReducedVariant, c.reduced);
    }
    // Nothing clears the flag: the full designation written later leaves it set.
    DeviceVariant = 0;
    WriteDesignation(0);
    EXPECT_EQ(ReducedVariant, 1);
}

}  // namespace
