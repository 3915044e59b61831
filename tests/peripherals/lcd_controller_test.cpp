// The character LCD controller: commands, data writes and the ROM translation.
#include "peripherals/lcd_controller.h"

#include <gtest/gtest.h>

#include <vector>

#include "host/reset.h"

namespace {

class LcdControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSimulator();
        for (auto& c : LcdCells) c.store(0x20);
    }
    static void Data(std::initializer_list<int> bytes) {
        for (int b : bytes) LcdWrite(static_cast<uint8_t>(b), 1);
    }
    static void Command(uint8_t b) { LcdWrite(b, 0); }
    static uint8_t Cell(int i) { return LcdCells[i].load(); }
};

TEST_F(LcdControllerTest, FirstLineRunsIntoSecondAndDropsPastTheEnd) {
    Command(0x80);
    for (int i = 0; i < 25; ++i) LcdWrite(static_cast<uint8_t>(0x41 + i), 1);
    for (int i = 0; i < 24; ++i) EXPECT_EQ(Cell(i), 0x41 + i) << i;
    EXPECT_EQ(LcdPosition.load(), 24);
}

TEST_F(LcdControllerTest, AddressCommands) {
    const struct {
        uint8_t before, command;
        int32_t position;
    } cases[] = {
        {5, 0x80, 0},  {5, 0x8B, 11}, {5, 0x8C, 5},  {5, 0xBF, 5},  {5, 0xC0, 12},
        {5, 0xC5, 17}, {5, 0xCB, 23}, {5, 0xCC, 24}, {5, 0xFF, 75}, {5, 0x01, 5},
        {5, 0x28, 5},  {5, 0x06, 5},  {5, 0x48, 5},  {5, 0x0D, 5},  {5, 0x0F, 5},
    };
    for (const auto& c : cases) {
        LcdPosition.store(c.before);
        Command(c.command);
        EXPECT_EQ(LcdPosition.load(), c.position) << std::hex << int(c.command);
    }
}

TEST_F(LcdControllerTest, CursorCommandsOnlySwitchTheCursor) {
    Command(0xC3);
    Command(0x0E);
    EXPECT_EQ(LcdCursorOn.load(), 1);
    EXPECT_EQ(LcdPosition.load(), 15);
    for (uint8_t ignored : {0x0D, 0x0F, 0x08, 0x01}) {
        Command(ignored);
        EXPECT_EQ(LcdCursorOn.load(), 1);
    }
    Command(0x0C);
    EXPECT_EQ(LcdCursorOn.load(), 0);
    EXPECT_EQ(LcdPosition.load(), 15);
}

TEST_F(LcdControllerTest, CharacterGeneratorPatternsLandAsCharacters) {
    Command(0x80);
    Data({'X'});
    Command(0x01);  // clear display is ignored
    EXPECT_EQ(Cell(0), 'X');
    Command(0x83);
    Command(0x48);
    Data({0x0E, 0x0A, 0x1B, 0x11, 0x11, 0x11, 0x1F, 0x00});
    const uint8_t expected[8] = {0x0E, 0x0A, 0x1B, 0x11, 0x11, 0x11, 0x1F, 0x00};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(Cell(3 + i), RomToGlyph(expected[i])) << i;
    // With the address past the cells the patterns are dropped.
    Command(0xCC);
    Data({0x04, 0x04, 0x1F});
    EXPECT_EQ(LcdPosition.load(), 24);
}

TEST_F(LcdControllerTest, RomTranslation) {
    const struct {
        uint8_t rom, glyph;
    } cases[] = {
        {0x00, 0x00}, {0x01, 0x02}, {0x02, 0x01}, {0x03, 0x01}, {0x04, 0x5E}, {0x05, 0x01},
        {0x06, 0x01}, {0x07, 0x7E}, {0x08, 0x08}, {0x41, 0x41}, {0x7E, 0x7E}, {0x9F, 0x9F},
        {0xA0, 0xC1}, {0xA1, 0xC3}, {0xA2, 0xC5}, {0xA7, 0xCB}, {0xA8, 0xCF}, {0xAF, 0xDD},
        {0xB0, 0xDE}, {0xB1, 0xDF}, {0xB7, 0xE7}, {0xB8, 0xE8}, {0xBF, 0xF2}, {0xC0, 0xF7},
        {0xC7, 0xFF}, {0xC8, 0xC8}, {0xDF, 0xDF}, {0xE0, 0xC4}, {0xE1, 0xD6}, {0xE2, 0xD9},
        {0xE3, 0xE4}, {0xE4, 0xF4}, {0xE5, 0xF6}, {0xE6, 0xF9}, {0xE7, 0xE7}, {0xFF, 0xFF},
    };
    for (const auto& c : cases) EXPECT_EQ(RomToGlyph(c.rom), c.glyph) << std::hex << int(c.rom);

    Command(0x80);
    Data({0xA1, 0x41, 0x4D, 0x4D, 0x41});  // ГАММА
    const std::vector<uint8_t> gamma{Cell(0), Cell(1), Cell(2), Cell(3), Cell(4)};
    EXPECT_EQ(gamma, (std::vector<uint8_t>{0xC3, 0x41, 0x4D, 0x4D, 0x41}));
}

}  // namespace
