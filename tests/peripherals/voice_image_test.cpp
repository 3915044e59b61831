// The recordings of the committed speech image (resources/voice_image.bin) as a listener meets
// them: every message as loud as the others, none clipped, and every one ending in silence, so
// that the words of a composed reading join without a step in loudness or a click. The same
// properties are checked by tools/voice/make_voice_image.py before it writes the image; this
// is an independent measurement of the bytes that the program carries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "peripherals/speech_memory.h"
#include "resources/resources.h"

namespace {

constexpr uint32_t Messages = 113;
constexpr int SamplesPerMs = 8;

// The samples of message n that lie inside the image, as deviations from the rest level 128.
std::vector<int> Message(uint32_t n) {
    const uint8_t* directory = VoiceImageData + VoiceHeaderSize;
    uint32_t page = 1;
    for (uint32_t i = 0; i < n; ++i) page += directory[i];
    const uint32_t begin = VoiceHeaderSize + page * VoicePageSize;
    const uint32_t end = std::min<uint32_t>(begin + directory[n] * VoicePageSize,
                                            static_cast<uint32_t>(VoiceImageDataSize));
    std::vector<int> samples;
    for (uint32_t i = begin; i < end; ++i) samples.push_back(VoiceImageData[i] - 128);
    return samples;
}

// Loudness of a message in dB re full scale (128 levels): the mean power of its 100 ms
// blocks (every 25 ms), without the blocks of silence (under -50 dB) and without the blocks
// more than 10 dB under the mean of the rest (pauses, the fading ends of words): the gating
// of broadcast loudness meters on blocks short enough for a single word.
double LoudnessDb(const std::vector<int>& samples) {
    constexpr size_t Block = 100 * SamplesPerMs;
    constexpr size_t Hop = 25 * SamplesPerMs;
    const double silence = 128.0 * 128.0 * std::pow(10.0, -50.0 / 10);
    std::vector<double> powers;
    for (size_t start = 0; start + Block <= samples.size(); start += Hop) {
        double sum = 0;
        for (size_t i = start; i < start + Block; ++i) sum += double(samples[i]) * samples[i];
        if (sum / Block >= silence) powers.push_back(sum / Block);
    }
    if (powers.empty()) return -INFINITY;
    double mean = 0;
    for (double p : powers) mean += p;
    mean /= static_cast<double>(powers.size());
    double kept = 0;
    size_t count = 0;
    for (double p : powers) {
        if (p >= mean / 10) {
            kept += p;
            ++count;
        }
    }
    return 10 * std::log10(kept / static_cast<double>(count) / (128.0 * 128.0));
}

int PeakOf(const std::vector<int>& samples, size_t from) {
    int peak = 0;
    for (size_t i = from; i < samples.size(); ++i) peak = std::max(peak, std::abs(samples[i]));
    return peak;
}

TEST(VoiceImageTest, MessagesAreEquallyLoudUnitWordsIncluded) {
    std::vector<double> loudness;
    for (uint32_t n = 0; n < Messages; ++n) loudness.push_back(LoudnessDb(Message(n)));
    std::vector<double> sorted = loudness;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted[Messages / 2];
    EXPECT_GT(median, -24.0) << "speech this quiet drowns in the 8-bit steps";
    for (uint32_t n = 0; n < Messages; ++n) {
        EXPECT_NEAR(loudness[n], median, 1.5) << "message " << n;
    }
    // A reading's unit follows its number at the number's loudness: "one" (1), "twenty" (20)
    // and "eleven hundredths" (64, 82) against the units 99-102.
    for (uint32_t unit : {99u, 100u, 101u, 102u}) {
        for (uint32_t number : {1u, 20u, 64u, 82u}) {
            EXPECT_NEAR(loudness[unit], loudness[number], 1.5) << unit << " after " << number;
        }
    }
}

// No sample reaches the ends of the 8-bit range: the peaks stay at 100 levels from 128 or less.
TEST(VoiceImageTest, NoMessageIsClipped) {
    for (uint32_t n = 0; n < Messages; ++n) {
        const std::vector<int> m = Message(n);
        EXPECT_LE(PeakOf(m, 0), 100) << "message " << n;
        const int ends = static_cast<int>(
            std::count_if(m.begin(), m.end(), [](int v) { return v == -128 || v == 127; }));
        EXPECT_EQ(ends, 0) << "message " << n;
    }
}

// Every message fades out before its end: nothing above the 8-bit noise floor (one level) in
// its last 10 ms, and no more than the faint end of a fade (8 levels) in its last 30 ms, so
// that the next word of a reading does not start against a sound cut short.
TEST(VoiceImageTest, MessagesEndInSilenceAfterAFade) {
    for (uint32_t n = 0; n < Messages; ++n) {
        const std::vector<int> m = Message(n);
        ASSERT_GE(m.size(), size_t{30 * SamplesPerMs}) << n;
        EXPECT_LE(PeakOf(m, m.size() - 10 * SamplesPerMs), 1) << "message " << n;
        EXPECT_LE(PeakOf(m, m.size() - 30 * SamplesPerMs), 8) << "message " << n;
    }
}

}  // namespace
