// The speech memory: the committed image (resource 101), its directory, the seek and the
// byte read with their edges, and the generator's checks on every recording.
#include "peripherals/speech_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/reset.h"
#include "peripherals/sound_output.h"
#include "resources/resources.h"

namespace {

constexpr uint32_t Messages = 113;
constexpr uint32_t TotalPages = 1879;
constexpr uint32_t ImageSize = 992768;
constexpr uint32_t SamplesPerMs = 8;

// The directory of the committed image (resources/voice_image.bin, made by
// tools/voice/make_voice_image.sh): the instrument's fixed lengths, the others the fit of
// the recordings.
constexpr uint8_t Lengths[Messages] = {
    7,  8,  7,  5,  9,  7,  8,  7,  8,  9,  8,  15, 14, 14, 16, 15, 17, 15, 17, 16, 12, 11, 9,
    12, 14, 11, 13, 11, 6,  9,  9,  12, 10, 12, 10, 12, 12, 18, 17, 16, 19, 16, 18, 17, 18, 19,
    19, 18, 18, 20, 17, 19, 17, 19, 21, 15, 14, 14, 17, 15, 16, 15, 16, 17, 23, 22, 22, 24, 23,
    25, 23, 25, 25, 16, 15, 15, 18, 16, 17, 15, 17, 19, 24, 23, 24, 25, 24, 26, 24, 25, 26, 13,
    12, 10, 13, 15, 12, 14, 13, 21, 23, 28, 27, 16, 18, 27, 25, 19, 23, 31, 17, 26, 23};

class SpeechMemoryTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSimulator(); }
    void TearDown() override {
        VoiceImageBase = VoiceImageData;
        VoiceImageLength = VoiceImageDataSize;
        ResetSimulator();
    }
    static uint8_t Read() {
        VoiceReadByte();
        return AudioLevel.load();
    }
    static uint32_t StartPage(uint32_t n) {
        uint32_t page = 1;
        for (uint32_t i = 0; i < n; ++i) page += Lengths[i];
        return page;
    }
    // The bytes of message n that lie inside the image.
    static std::vector<uint8_t> Message(uint32_t n) {
        const uint32_t begin = VoiceHeaderSize + StartPage(n) * VoicePageSize;
        uint32_t end = begin + Lengths[n] * VoicePageSize;
        if (end > VoiceImageLength) end = VoiceImageLength;
        return std::vector<uint8_t>(VoiceImageBase + begin, VoiceImageBase + end);
    }
};

TEST_F(SpeechMemoryTest, ImageIsCarriedInsideTheProgram) {
    EXPECT_EQ(VoiceImageBase, VoiceImageData);
    EXPECT_EQ(VoiceImageLength, ImageSize);
    EXPECT_EQ(VoiceImageLength, VoiceHeaderSize + (TotalPages + 1) * VoicePageSize - 384);
}

TEST_F(SpeechMemoryTest, EmbeddedImageIsTheCommittedFile) {
    std::ifstream f(std::string(DRK_SOURCE_DIR) + "/resources/voice_image.bin", std::ios::binary);
    ASSERT_TRUE(f.good());
    const std::vector<uint8_t> file((std::istreambuf_iterator<char>(f)),
                                    std::istreambuf_iterator<char>());
    ASSERT_EQ(file.size(), VoiceImageLength);
    EXPECT_EQ(std::memcmp(file.data(), VoiceImageBase, file.size()), 0);
}

TEST_F(SpeechMemoryTest, HeaderHoldsTagNumbersAndPadding) {
    const uint8_t* h = VoiceImageBase;
    for (int i = 0; i < 8; ++i) EXPECT_GE(h[i], 0x20) << i;
    EXPECT_EQ(h[8], 0);
    uint32_t pos = 9;
    for (int number = 0; number < 3; ++number) {
        const uint32_t first = pos;
        while (h[pos] >= '0' && h[pos] <= '9') ++pos;
        EXPECT_GT(pos, first) << "number " << number;
        EXPECT_EQ(h[pos], 0) << "number " << number;
        ++pos;
    }
    for (; pos < VoiceHeaderSize; ++pos) EXPECT_EQ(h[pos], 0x55) << pos;
}

TEST_F(SpeechMemoryTest, DirectoryReadsBackFromPageZero) {
    VoiceSeek(0);
    uint32_t sum = 0;
    for (uint32_t n = 0; n < Messages; ++n) {
        const uint8_t length = Read();
        EXPECT_EQ(length, Lengths[n]) << "message " << n;
        EXPECT_NE(length, 0) << "message " << n;
        sum += length;
    }
    EXPECT_EQ(Read(), 0) << "the 114th read";
    EXPECT_EQ(sum, TotalPages);
    // The rest of the directory is 0, the last 16 bytes of page 0 are sound-like values.
    for (uint32_t i = Messages + 1; i < 512; ++i) EXPECT_EQ(Read(), 0) << i;
    for (uint32_t i = 512; i < VoicePageSize; ++i) EXPECT_NE(Read(), 0) << i;
    EXPECT_EQ(VoicePage, 1u);
    EXPECT_EQ(VoiceOffset, 0u);
}

TEST_F(SpeechMemoryTest, FixedLengthsOfTheDesign) {
    const struct {
        uint32_t n, pages;
    } fixed[] = {{0, 7},    {1, 8},    {2, 7},    {3, 5},    {99, 21}, {100, 23},
                 {101, 28}, {102, 27}, {107, 19}, {109, 31}, {112, 23}};
    for (const auto& f : fixed) EXPECT_EQ(VoiceImageBase[VoiceHeaderSize + f.n], f.pages) << f.n;
    for (uint32_t n = 0; n < Messages; ++n) {
        const uint8_t length = VoiceImageBase[VoiceHeaderSize + n];
        if (n != 3) {
            EXPECT_GT(length, 5) << "only message 3 is as short as 5 pages: " << n;
        }
        if (n != 109) {
            EXPECT_LT(length, 31) << "only message 109 is as long as 31 pages: " << n;
        }
    }
    EXPECT_EQ(StartPage(0), 1u);
    EXPECT_EQ(StartPage(112), 1857u);
    EXPECT_EQ(StartPage(112) + Lengths[112] - 1, 1879u);
}

TEST_F(SpeechMemoryTest, SeekSetsPageAndOffset) {
    VoiceSeek(5);
    Read();
    Read();
    EXPECT_EQ(VoicePage, 5u);
    EXPECT_EQ(VoiceOffset, 2u);
    VoiceSeek(9);
    EXPECT_EQ(VoicePage, 9u);
    EXPECT_EQ(VoiceOffset, 0u);
}

TEST_F(SpeechMemoryTest, ReadsFollowTheLayout) {
    VoiceSeek(1);
    for (uint32_t i = 0; i < 2 * VoicePageSize; ++i) {
        ASSERT_EQ(Read(), VoiceImageBase[VoiceHeaderSize + VoicePageSize + i]) << i;
    }
    VoiceSeek(1234);
    EXPECT_EQ(Read(), VoiceImageBase[VoiceHeaderSize + 1234 * VoicePageSize]);
}

TEST_F(SpeechMemoryTest, OffsetWrapsIntoTheNextPage) {
    VoiceSeek(5);
    for (uint32_t i = 0; i < VoicePageSize - 1; ++i) Read();
    EXPECT_EQ(VoicePage, 5u);
    EXPECT_EQ(VoiceOffset, 527u);
    Read();
    EXPECT_EQ(VoicePage, 6u);
    EXPECT_EQ(VoiceOffset, 0u);
}

TEST_F(SpeechMemoryTest, PageIndexStopsAt8192) {
    VoiceSeek(8191);
    for (uint32_t i = 0; i < VoicePageSize; ++i) EXPECT_EQ(Read(), 128);
    EXPECT_EQ(VoicePage, 8192u);
    EXPECT_EQ(VoiceOffset, 0u);
    for (uint32_t i = 0; i < VoicePageSize; ++i) EXPECT_EQ(Read(), 128);
    EXPECT_EQ(VoicePage, 8192u);
    EXPECT_EQ(VoiceOffset, 0u);
}

TEST_F(SpeechMemoryTest, LastPageEndsInsideItAndBeyondIsSilence) {
    VoiceSeek(1879);
    const uint8_t* tail = VoiceImageBase + ImageSize - 144;
    for (uint32_t i = 0; i < 144; ++i) ASSERT_EQ(Read(), tail[i]) << i;
    EXPECT_EQ(VoiceOffset, 144u);
    // The next read lies beyond the end of the image: silence, whatever was there before.
    AudioLevel.store(7);
    EXPECT_EQ(Read(), 128);
    for (uint32_t i = 145; i < VoicePageSize; ++i) EXPECT_EQ(Read(), 128);
    EXPECT_EQ(VoicePage, 1880u);
    EXPECT_EQ(Read(), 128);
}

TEST_F(SpeechMemoryTest, EndOfAnImageIsItsLengthNotAPage) {
    // A small stand-in image whose sound is not 128, so the end can be seen.
    static uint8_t small[VoiceHeaderSize + VoicePageSize + 10];
    std::memset(small, 77, sizeof small);
    VoiceImageBase = small;
    VoiceImageLength = sizeof small;
    VoiceSeek(1);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(Read(), 77) << i;
    EXPECT_EQ(Read(), 128);
    VoiceSeek(0);
    EXPECT_EQ(Read(), 77);
}

TEST_F(SpeechMemoryTest, NoImageReadsSilence) {
    VoiceImageLength = 0;
    VoiceSeek(0);
    for (int i = 0; i < 200; ++i) EXPECT_EQ(Read(), 128) << i;
    VoiceImageBase = nullptr;
    VoiceSeek(3);
    EXPECT_EQ(Read(), 128);
}

TEST_F(SpeechMemoryTest, ResetBringsThePositionBack) {
    VoiceSeek(77);
    Read();
    ResetSpeechMemory();
    EXPECT_EQ(VoicePage, 0u);
    EXPECT_EQ(VoiceOffset, 0u);
}

// --- The generator's checks, run against the committed image ---------------------------------

// Every recording ends in silence: its last 20 ms (of what lies inside the image) stay within
// a few levels of 128, so no speech was cut off by the fit to whole pages.
TEST_F(SpeechMemoryTest, RecordingsEndInSilence) {
    for (uint32_t n = 0; n < Messages; ++n) {
        const std::vector<uint8_t> m = Message(n);
        ASSERT_GE(m.size(), 20 * SamplesPerMs) << n;
        for (size_t i = m.size() - 20 * SamplesPerMs; i < m.size(); ++i) {
            ASSERT_LE(std::abs(m[i] - 128), 2) << "message " << n << " sample " << i;
        }
    }
}

// Every recording starts with its speech (leading silence trimmed), is clearly audible and
// keeps its peaks within about 100 levels of 128.
TEST_F(SpeechMemoryTest, RecordingsAreAudibleAndWithinLevel) {
    for (uint32_t n = 0; n < Messages; ++n) {
        const std::vector<uint8_t> m = Message(n);
        int peak = 0;
        size_t first = m.size();
        for (size_t i = 0; i < m.size(); ++i) {
            const int d = std::abs(m[i] - 128);
            if (d > peak) peak = d;
            if (d > 2 && first == m.size()) first = i;
        }
        EXPECT_LE(peak, 100) << "message " << n;
        EXPECT_GE(peak, 60) << "message " << n;
        EXPECT_LT(first, 20 * SamplesPerMs) << "message " << n << " starts late";
    }
}

// Inside a spoken reading (introduction 110, number, fraction and unit words) no pause is
// longer than about 150 ms: none inside a recording, and the silence at the end of a word
// (its fit to whole pages) leaves room for the next word to follow closely.
TEST_F(SpeechMemoryTest, PausesInsideReadingsAreShort) {
    for (uint32_t n = 0; n <= 110; ++n) {
        if (n > 102 && n < 110) continue;  // stand-alone prompts
        const std::vector<uint8_t> m = Message(n);
        bool sound = false;
        size_t last = 0;
        size_t run = 0;
        size_t longest = 0;
        for (size_t i = 0; i < m.size(); ++i) {
            if (std::abs(m[i] - 128) > 1) {
                if (sound && run > longest) longest = run;
                sound = true;
                run = 0;
                last = i;
            } else {
                ++run;
            }
        }
        EXPECT_LE(longest, 150 * SamplesPerMs) << "pause inside message " << n;
        const size_t trailing = m.size() - 1 - last;
        if (n <= 98 || n == 110) {
            EXPECT_LE(trailing, 120 * SamplesPerMs) << "silence after message " << n;
        }
    }
}

}  // namespace
