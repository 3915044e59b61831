#include "peripherals/sound_output.h"

#include <cstring>

std::atomic<uint8_t> AudioLevel{0};
std::atomic<uint32_t> SampleRepeat{0};
std::atomic<uint32_t> SampleCount{0};
std::atomic<uint8_t> SoundReady{0};
uint8_t SampleBuffer[SampleCapacity];
uint8_t WavImage[WavHeaderSize + SampleCapacity];
SoundServiceFn SoundService = nullptr;
SoundLog SampleBufferLog{};
SoundLog PlayedSoundLog{};

namespace {

// The header every playback starts from; its two size fields are overwritten each time.
constexpr uint8_t WavHeaderTemplate[WavHeaderSize] = {
    0x52, 0x49, 0x46, 0x46,  // "RIFF"
    0xca, 0x01, 0x00, 0x00,  // RIFF chunk size (replaced by SampleCount + 36)
    0x57, 0x41, 0x56, 0x45,  // "WAVE"
    0x66, 0x6d, 0x74, 0x20,  // "fmt "
    0x10, 0x00, 0x00, 0x00,  // fmt chunk size 16
    0x01, 0x00,              // PCM
    0x01, 0x00,              // mono
    0x40, 0x1f, 0x00, 0x00,  // 8000 samples per second
    0x40, 0x1f, 0x00, 0x00,  // 8000 bytes per second
    0x01, 0x00,              // block align 1
    0x08, 0x00,              // 8 bits per sample
    0x64, 0x61, 0x74, 0x61,  // "data"
    0x6e, 0x01, 0x00, 0x00,  // data size (replaced by SampleCount)
};

// Utterances open. An append made inside one is a voice sample and is written once, whatever
// SampleRepeat says: the 4 belongs to the timer interrupt model's appends. The firmware and
// the host take turns on one thread (the firmware is a fiber), so no append can split
// another, and the host cannot play while an utterance is half appended.
uint32_t UtteranceDepth = 0;

void PutLe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace

namespace {

// Appends AudioLevel SampleRepeat times.
void Append() {
    uint32_t repeat = UtteranceDepth != 0 ? 1 : SampleRepeat.load(std::memory_order_relaxed);
    if (repeat == 0) return;
    const uint8_t level = AudioLevel.load(std::memory_order_relaxed);
    uint32_t count = SampleCount.load(std::memory_order_relaxed);
    while (repeat-- != 0 && count < SampleCapacity) SampleBuffer[count++] = level;
    SampleCount.store(count, std::memory_order_relaxed);
}

}  // namespace

void AppendSample() {
    Append();
}

void OutputLevel(uint8_t level) {
    AudioLevel.store(level, std::memory_order_relaxed);
    Append();
}

void WavPlayer() {
    const uint32_t count = SampleCount.load(std::memory_order_relaxed);
    WriteWavHeader(WavImage, count);
    std::memcpy(WavImage + WavHeaderSize, SampleBuffer, count);
    SampleCount.store(0, std::memory_order_relaxed);
    PlayedSoundLog = SampleBufferLog;
    SampleBufferLog = SoundLog{};
    if (SoundService != nullptr) SoundService(WavImage, WavHeaderSize + count);
}

void WriteWavHeader(uint8_t* out, uint32_t samples) {
    std::memcpy(out, WavHeaderTemplate, WavHeaderSize);
    PutLe32(out + 4, samples + 36);
    PutLe32(out + 40, samples);
}

void LogSpokenMessage(uint8_t n) {
    if (SampleBufferLog.messageCount < SoundLogMessages)
        SampleBufferLog.messages[SampleBufferLog.messageCount] = n;
    ++SampleBufferLog.messageCount;
}

void ClearSampleBufferLog() {
    SampleBufferLog = SoundLog{};
}

void BeginUtterance() {
    ++UtteranceDepth;
    SoundReady.store(0);
}

void EndUtterance() {
    SoundReady.store(1);
    if (UtteranceDepth != 0) --UtteranceDepth;
}

void ResetSoundOutput() {
    UtteranceDepth = 0;
    SampleBufferLog = SoundLog{};
    PlayedSoundLog = SoundLog{};
    AudioLevel.store(0);
    SampleRepeat.store(0);
    SampleCount.store(0);
    SoundReady.store(0);
}
