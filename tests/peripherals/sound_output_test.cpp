// The sound output: appends, the WAV image handed to the sound service, and the separation
// of the firmware's voice utterances from the host's clicks and playback.
#include "peripherals/sound_output.h"

#include <atomic>
#include <cstring>
#include <vector>

#include "firmware/display.h"
#include "firmware/firmware_state.h"
#include "host/host_tick.h"
#include "peripherals/pulse_source.h"
#include "peripherals/timer_isr.h"
#include "support/machine.h"

namespace {

using SoundOutputTest = MachineTest;

TEST_F(SoundOutputTest, AppendWritesTheLevelRepeatTimesUpToTheCapacity) {
    const struct {
        uint32_t repeat;
        uint32_t countBefore;
        uint32_t countAfter;
    } cases[] = {
        {4, 0, 4},
        {1, 10, 11},
        {0, 10, 10},
        {4, SampleCapacity - 2, SampleCapacity},  // 2 stored, 2 dropped
        {4, SampleCapacity, SampleCapacity},
        {1, SampleCapacity, SampleCapacity},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.repeat << " " << c.countBefore);
        if (c.countBefore > 0) SampleBuffer[c.countBefore - 1] = 7;  // must stay
        SampleCount.store(c.countBefore);
        SampleRepeat.store(c.repeat);
        AudioLevel.store(178);
        AppendSample();
        EXPECT_EQ(SampleCount.load(), c.countAfter);
        for (uint32_t i = c.countBefore; i < c.countAfter; ++i) EXPECT_EQ(SampleBuffer[i], 178);
        if (c.countBefore > 0) {
            EXPECT_EQ(SampleBuffer[c.countBefore - 1], 7);
        }
    }
}

TEST_F(SoundOutputTest, PlaybackSendsHeaderAndSamplesAndEmptiesTheBuffer) {
    const uint8_t header[44] = {0x52, 0x49, 0x46, 0x46, 0,    0,    0,    0,    0x57, 0x41, 0x56,
                                0x45, 0x66, 0x6d, 0x74, 0x20, 0x10, 0x00, 0x00, 0x00, 0x01, 0x00,
                                0x01, 0x00, 0x40, 0x1f, 0x00, 0x00, 0x40, 0x1f, 0x00, 0x00, 0x01,
                                0x00, 0x08, 0x00, 0x64, 0x61, 0x74, 0x61, 0,    0,    0,    0};
    auto le32 = [](const std::vector<uint8_t>& w, size_t at) {
        return uint32_t(w[at]) | uint32_t(w[at + 1]) << 8 | uint32_t(w[at + 2]) << 16 |
               uint32_t(w[at + 3]) << 24;
    };
    for (uint32_t count : {100u, 1u, 366u, SampleCapacity}) {
        SCOPED_TRACE(count);
        played.wavs.clear();
        for (uint32_t i = 0; i < count; ++i) SampleBuffer[i] = static_cast<uint8_t>(i * 7 + 3);
        SampleCount.store(count);
        WavPlayer();
        EXPECT_EQ(SampleCount.load(), 0u);
        ASSERT_EQ(played.wavs.size(), 1u);
        const std::vector<uint8_t>& wav = played.wavs[0];
        ASSERT_EQ(wav.size(), 44 + count);
        EXPECT_EQ(le32(wav, 4), count + 36);
        EXPECT_EQ(le32(wav, 40), count);
        for (size_t i = 0; i < 44; ++i) {
            if ((i >= 4 && i < 8) || (i >= 40 && i < 44)) continue;
            EXPECT_EQ(wav[i], header[i]) << "header byte " << i;
        }
        EXPECT_EQ(std::memcmp(wav.data() + 44, SampleBuffer, count), 0);
    }
    EXPECT_EQ(played.wavs[0].size(), 44 + SampleCapacity);
}

TEST_F(SoundOutputTest, PlaybackWithoutServiceStillEmptiesTheBuffer) {
    SoundService = nullptr;
    SampleCount.store(100);
    WavPlayer();
    EXPECT_EQ(SampleCount.load(), 0u);
}

TEST_F(SoundOutputTest, SamplesAppendedDuringAPlayAreKeptForTheNext) {
    // A sound service that takes time: the firmware thread may append meanwhile (here the
    // service itself appends, standing in for it).
    SoundService = [](const uint8_t* wav, uint32_t bytes) {
        PlayedSounds::Service(wav, bytes);
        SampleRepeat.store(1);
        AudioLevel.store(42);
        AppendSample();
        AppendSample();
    };
    SampleCount.store(10);
    WavPlayer();
    EXPECT_EQ(SampleCount.load(), 2u);
    EXPECT_EQ(SampleBuffer[0], 42);
    EXPECT_EQ(SampleBuffer[1], 42);
    EXPECT_EQ(played.wavs.at(0).size(), 54u);
}

TEST_F(SoundOutputTest, UtteranceMarksSoundReadyAndAppendsVoiceSamplesOnce) {
    SoundReady.store(1);
    SampleRepeat.store(4);  // inside the host tick's interrupt calls
    BeginUtterance();
    EXPECT_EQ(SoundReady.load(), 0);
    AudioLevel.store(9);
    AppendSample();
    AppendSample();
    EndUtterance();
    EXPECT_EQ(SoundReady.load(), 1);
    EXPECT_EQ(SampleCount.load(), 2u);
    AppendSample();  // outside the utterance the repeat applies again
    EXPECT_EQ(SampleCount.load(), 6u);
}

// --- Voice utterances against clicks and playback ------------------------------------------

// The voice levels avoid 0, 128 and 255 (the click's) and 78 and 178 (the tone's).
constexpr int UtteranceLength = 997;
constexpr int UtteranceCount = 120;
uint8_t VoiceLevel(int i) {
    return static_cast<uint8_t>(1 + i % 70);
}
bool IsVoice(uint8_t level) {
    return level >= 1 && level <= 70;
}

std::atomic<int> UtterancesDone{0};

void AppendUtterance() {
    BeginUtterance();
    for (int i = 0; i < UtteranceLength; ++i) {
        AudioLevel.store(VoiceLevel(i));
        AppendSample();
    }
    EndUtterance();
    UtterancesDone.fetch_add(1);
}

// Checks the played sounds: every voice utterance lies whole inside one playback, with no
// other sample among its own, and every click (128, 255, 0, 255, 0, 255, 0, 255, 0, 128 at
// 4 samples each) is whole once the utterances are taken out. Returns the utterances found.
int CheckPlayed(const std::vector<std::vector<uint8_t>>& wavs) {
    std::vector<uint8_t> clicks;
    int utterances = 0;
    for (size_t w = 0; w < wavs.size(); ++w) {
        const std::vector<uint8_t>& wav = wavs[w];
        size_t i = 44;
        while (i < wav.size()) {
            if (!IsVoice(wav[i])) {
                clicks.push_back(wav[i++]);
                continue;
            }
            for (int j = 0; j < UtteranceLength; ++j, ++i) {
                EXPECT_LT(i, wav.size()) << "utterance split across playbacks, sound " << w;
                if (i >= wav.size()) return utterances;
                EXPECT_EQ(wav[i], VoiceLevel(j)) << "sound " << w << " sample " << i;
                if (wav[i] != VoiceLevel(j)) return utterances;
            }
            ++utterances;
        }
    }
    static const uint8_t click[10] = {128, 255, 0, 255, 0, 255, 0, 255, 0, 128};
    EXPECT_EQ(clicks.size() % 40, 0u);
    for (size_t i = 0; i < clicks.size(); ++i) {
        EXPECT_EQ(clicks[i], click[i % 40 / 4]) << "click sample " << i;
        if (clicks[i] != click[i % 40 / 4]) break;
    }
    return utterances;
}

TEST_F(SoundOutputTest, UtterancesFromTheFirmwareThreadPlayWholeBetweenClicks) {
    // In lock-step: the firmware speaks after most ticks while the host clicks for pulses.
    UtterancesDone.store(0);
    Start([] {
        WaitMs(100);
        SettingsFlags.store(0x04);
        for (;;) {
            if (UtterancesDone.load() < UtteranceCount) AppendUtterance();
            WaitMs(UtterancesDone.load() % 3 == 0 ? 200 : 100);
        }
    });
    for (int t = 0; t < 250; ++t) {
        if (t % 2 == 0) CheckSourcePulses = 1;
        Tick();
    }
    EXPECT_EQ(UtterancesDone.load(), UtteranceCount);
    EXPECT_EQ(CheckPlayed(played.wavs), UtteranceCount);
}

}  // namespace
