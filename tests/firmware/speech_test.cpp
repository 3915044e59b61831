// Spoken numbers and prompts: PlayMessage, PlayPrompt, the composition of a spoken reading
// (shapes A-D, the increment that never carries, the unit word) and SpeakReading.
#include "firmware/speech.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "firmware/firmware_state.h"
#include "host/reset.h"
#include "peripherals/sound_output.h"
#include "peripherals/speech_memory.h"

namespace {

class SpeechTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSimulator();
        SampleRepeat.store(1);  // as between host ticks
    }
    void TearDown() override { ResetSimulator(); }

    static uint32_t Length(uint32_t n) { return VoiceImageBase[VoiceHeaderSize + n]; }
    static uint32_t StartPage(uint32_t n) {
        uint32_t page = 1;
        for (uint32_t i = 0; i < n; ++i) page += Length(i);
        return page;
    }
    // Message n as PlayMessage must append it (128 past the end of the image).
    static std::vector<uint8_t> Expected(uint32_t n) {
        std::vector<uint8_t> out;
        const uint32_t begin = VoiceHeaderSize + StartPage(n) * VoicePageSize;
        for (uint32_t i = 0; i < Length(n) * VoicePageSize; ++i) {
            out.push_back(begin + i < VoiceImageLength ? VoiceImageBase[begin + i] : 128);
        }
        return out;
    }
    static std::vector<uint8_t> Recorded() {
        return std::vector<uint8_t>(SampleBuffer, SampleBuffer + SampleCount.load());
    }
    // Cells 12-16 from five characters, the rest of line 2 blank.
    static void SetCells(const char* cells) {
        ASSERT_EQ(std::strlen(cells), 5u) << cells;
        for (int i = 0; i < 12; ++i) DisplayText[12 + i] = 0x20;
        for (int i = 0; i < 5; ++i) DisplayText[12 + i] = static_cast<uint8_t>(cells[i]);
    }
    static std::vector<int> Compose(const char* cells) {
        SetCells(cells);
        uint8_t list[8];
        std::memset(list, 0xEE, sizeof list);
        const uint8_t count = ComposeReading(list);
        EXPECT_LE(count, 5) << cells;
        return std::vector<int>(list, list + count);
    }
};

TEST_F(SpeechTest, PlayMessageZeroAppendsPagesOneToSeven) {
    PlayMessage(0);
    ASSERT_EQ(SampleCount.load(), 7u * 528u);
    const uint8_t* pages = VoiceImageBase + VoiceHeaderSize + VoicePageSize;
    EXPECT_EQ(std::memcmp(SampleBuffer, pages, 7 * 528), 0);
    EXPECT_EQ(AudioLevel.load(), pages[7 * 528 - 1]) << "AudioLevel holds the last sample";
    EXPECT_EQ(VoicePage, 8u);
    EXPECT_EQ(VoiceOffset, 0u);
}

TEST_F(SpeechTest, PlayMessageWithoutLengthAppendsNothing) {
    PlayMessage(150);
    EXPECT_EQ(SampleCount.load(), 0u);
    PlayMessage(113);
    PlayMessage(255);
    EXPECT_EQ(SampleCount.load(), 0u);
}

TEST_F(SpeechTest, PlayMessage200ReturnsAtOnce) {
    VoiceSeek(42);
    VoiceReadByte();
    VoiceReadByte();
    AudioLevel.store(99);
    PlayMessage(NoMessage);
    EXPECT_EQ(SampleCount.load(), 0u);
    EXPECT_EQ(VoicePage, 42u);
    EXPECT_EQ(VoiceOffset, 2u);
    EXPECT_EQ(AudioLevel.load(), 99);
}

TEST_F(SpeechTest, PlayMessageAppendsEveryMessageWhole) {
    for (uint32_t n : {1u, 3u, 57u, 99u, 100u, 109u, 110u}) {
        SampleCount.store(0);
        PlayMessage(static_cast<uint8_t>(n));
        EXPECT_EQ(Recorded(), Expected(n)) << "message " << n;
    }
}

TEST_F(SpeechTest, LastMessageRunsPastTheImageIntoSilence) {
    PlayMessage(112);
    const std::vector<uint8_t> got = Recorded();
    ASSERT_EQ(got.size(), 23u * 528u);
    EXPECT_EQ(got, Expected(112));
    for (size_t i = got.size() - 384; i < got.size(); ++i) ASSERT_EQ(got[i], 128) << i;
}

TEST_F(SpeechTest, PlayPromptIsOneCompleteUtterance) {
    SoundReady.store(0);
    PlayPrompt(107);
    EXPECT_EQ(SoundReady.load(), 1);
    EXPECT_EQ(SampleCount.load(), 19u * 528u);
    EXPECT_EQ(Recorded(), Expected(107));
}

TEST_F(SpeechTest, PlayPromptAppendsVoiceOnceEvenWithRepeatFour) {
    SampleRepeat.store(4);
    PlayPrompt(3);
    EXPECT_EQ(SampleCount.load(), 5u * 528u);
}

// Every worked example of the reading composition, cells 12-16 -> message list.
TEST_F(SpeechTest, ComposeReadingWorkedExamples) {
    const struct {
        const char* cells;
        std::vector<int> list;
    } cases[] = {
        // clang-format off
        {"0.00 ", {0, 200, 99}},          {"0.10 ", {37, 200, 100}},
        {"0.14 ", {67, 200, 100}},        {"0.21 ", {20, 55, 200, 100}},
        {"0.98 ", {27, 62, 200, 100}},    {"1.00 ", {1, 200, 99}},
        {"1.09 ", {1, 81, 200, 100}},     {"1.20 ", {1, 47, 200, 100}},
        {"1.23 ", {1, 91, 57, 200, 100}}, {"5.55 ", {5, 94, 59, 200, 100}},
        {"10.05", {10, 200, 99}},         {"10.06", {10, 46, 200, 100}},
        {"12.34", {12, 48, 200, 100}},    {"14.00", {14, 200, 99}},
        {"22.00", {20, 2, 200, 100}},     {"99.99", {27, 9, 54, 200, 100}},
        {"100.6", {28, 1, 200, 99}},      {"112.0", {28, 12, 200, 99}},
        {"123.4", {28, 20, 3, 200, 100}}, {"999.6", {36, 27, 9, 200, 99}},
        {"1000.", {1, 200, 101}},         {"1234.", {1, 91, 57, 200, 102}},
        {"2000.", {2, 200, 102}},
        // clang-format on
    };
    for (const auto& c : cases) EXPECT_EQ(Compose(c.cells), c.list) << c.cells;
}

// The unit word: 99 (101) after whole numbers ending in 0, 1, 5-9 and after 10-19; 100 (102)
// after 2, 3, 4 (not 12-14) and after any fraction.
TEST_F(SpeechTest, ComposeReadingUnitWord) {
    const struct {
        const char* cells;
        int unit;
    } cases[] = {
        // clang-format off
        {"0.00 ", 99},  {"1.00 ", 99},  {"2.00 ", 100}, {"3.00 ", 100}, {"4.00 ", 100},
        {"5.00 ", 99},  {"9.00 ", 99},  {"0.01 ", 100}, {"0.50 ", 100}, {"1.01 ", 100},
        {"10.00", 99},  {"11.00", 99},  {"12.00", 99},  {"13.00", 99},  {"14.00", 99},
        {"19.00", 99},  {"20.00", 99},  {"21.00", 99},  {"22.00", 100}, {"23.00", 100},
        {"24.00", 100}, {"25.00", 99},  {"32.50", 100}, {"102.0", 100}, {"111.0", 99},
        {"112.0", 99},  {"113.0", 99},  {"114.0", 99},  {"122.0", 100}, {"204.3", 100},
        {"999.0", 99},  {"1000.", 101}, {"2000.", 102}, {"4000.", 102}, {"5000.", 101},
        {"1005.", 101}, {"1006.", 102}, {"3100.", 102},
        // clang-format on
    };
    for (const auto& c : cases) {
        const std::vector<int> list = Compose(c.cells);
        ASSERT_GE(list.size(), 2u) << c.cells;
        EXPECT_EQ(list.back(), c.unit) << c.cells;
        EXPECT_EQ(list[list.size() - 2], 200) << c.cells;
    }
}

// The first dropped digit 6-9 raises the last spoken digit, but a 9 stays 9 (no carry), and a
// dropped 5 or less changes nothing; in shape A cell 16 is not looked at.
TEST_F(SpeechTest, ComposeReadingIncrementNeverCarries) {
    const struct {
        const char* cells;
        std::vector<int> list;
    } cases[] = {
        // clang-format off
        {"1.237", {1, 91, 57, 200, 100}},                                 // A: cell 16 ignored
        {"9.999", {9, 98, 63, 200, 100}}, {"19.96", {19, 54, 200, 100}},  // B: t 9 stays 9
        {"19.95", {19, 54, 200, 100}},    {"10.96", {10, 54, 200, 100}},
        {"10.15", {10, 46, 200, 100}},  // B: 5 drops
        {"10.16", {10, 47, 200, 100}},    {"10.09", {10, 46, 200, 100}},
        {"29.97", {20, 9, 54, 200, 100}}, {"129.7", {28, 20, 9, 200, 99}},  // C: 9 stays 9
        {"120.5", {28, 20, 200, 99}},     {"121.9", {28, 20, 2, 200, 100}},
        {"199.9", {28, 27, 9, 200, 99}},  {"1296.", {1, 91, 63, 200, 102}},  // D: h 9 stays 9
        {"1286.", {1, 91, 63, 200, 102}}, {"1285.", {1, 91, 62, 200, 102}},
        {"1006.", {1, 73, 200, 102}},     {"1996.", {1, 98, 63, 200, 102}},
        {"9999.", {9, 98, 63, 200, 102}}, {"1100.", {1, 46, 200, 102}},
        {"1110.", {1, 82, 200, 102}},     {"1010.", {1, 73, 200, 102}},
        // clang-format on
    };
    for (const auto& c : cases) EXPECT_EQ(Compose(c.cells), c.list) << c.cells;
}

TEST_F(SpeechTest, ComposeReadingFractionWords) {
    const struct {
        const char* cells;
        std::vector<int> list;
    } cases[] = {
        // clang-format off
        {"0.01 ", {55, 200, 100}},        {"0.09 ", {63, 200, 100}},
        {"0.11 ", {64, 200, 100}},        {"0.19 ", {72, 200, 100}},
        {"0.90 ", {45, 200, 100}},        {"0.20 ", {38, 200, 100}},
        {"0.99 ", {27, 63, 200, 100}},    {"2.01 ", {2, 73, 200, 100}},
        {"2.11 ", {2, 82, 200, 100}},     {"2.90 ", {2, 54, 200, 100}},
        {"7.99 ", {7, 98, 63, 200, 100}}, {"40.10", {22, 46, 200, 100}},
        {"87.50", {26, 7, 50, 200, 100}},
        // clang-format on
    };
    for (const auto& c : cases) EXPECT_EQ(Compose(c.cells), c.list) << c.cells;
}

TEST_F(SpeechTest, ComposeReadingOutsideTheShapesSaysNothing) {
    EXPECT_TRUE(Compose("12345").empty());
    EXPECT_TRUE(Compose("     ").empty());
    EXPECT_TRUE(Compose(".1234").empty());
    SampleCount.store(0);
    SpeakReading();
    EXPECT_EQ(SampleCount.load(), 0u);
}

TEST_F(SpeechTest, SpeakReadingPlaysTheComposedList) {
    SetCells("1.23 ");
    SoundReady.store(0);
    SpeakReading();
    std::vector<uint8_t> want;
    for (uint32_t n : {1u, 91u, 57u, 100u}) {
        const std::vector<uint8_t> m = Expected(n);
        want.insert(want.end(), m.begin(), m.end());
    }
    EXPECT_EQ(Recorded(), want);
    EXPECT_EQ(SoundReady.load(), 0) << "SpeakReading leaves SoundReady to its caller";
}

TEST_F(SpeechTest, SpeakReadingInThousands) {
    SetCells("1234.");
    SpeakReading();
    EXPECT_EQ(SampleCount.load(), (Length(1) + Length(91) + Length(57) + Length(102)) * 528u);
}

}  // namespace
