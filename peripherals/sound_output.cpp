#include "peripherals/sound_output.h"

#include <cstring>
#include <mutex>

std::atomic<uint8_t> AudioLevel{0};
std::atomic<uint32_t> SampleRepeat{0};
std::atomic<uint32_t> SampleCount{0};
std::atomic<uint8_t> SoundReady{0};
uint8_t SampleBuffer[SampleCapacity];
uint8_t WavImage[WavHeaderSize + SampleCapacity];
SoundServiceFn SoundService = nullptr;

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

// The sound lock. The buffer has two writers (the timer interrupt model on the host thread,
// voice playback on the firmware thread) and one reader (the playback on the host thread).
// Without a lock a run of four interrupt samples could be split by voice samples, and, since
// the interrupt model raises SoundReady on any quiet call, the host could play a voice
// message of which only the first part has been appended.
//
// AudioLevel is shared too: a level stored by one thread could be appended by the other. So
// the interrupt model stores its level and appends it in one step (OutputLevel), every
// append of a run holds the lock, and a voice utterance holds it from
// BeginUtterance to EndUtterance; the playback holds it while it copies the buffer into the
// WAV image and empties the buffer, and plays outside it. An utterance is a plain memory
// copy with no wait inside (at most 255 pages, a few milliseconds), so the host is never
// held longer than that append. The lock is recursive because the firmware's appends inside
// its own utterance take it again. Uncontended, as always in lock-step, it costs a few tens
// of nanoseconds, and the interrupt model takes it only when it outputs a level.
std::recursive_mutex SoundLock;

// Utterances the calling thread has open. An append made inside one is a voice sample and is
// written once, whatever SampleRepeat says: the 4 belongs to the interrupt model's appends.
thread_local uint32_t UtteranceDepth = 0;

void PutLe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace

namespace {

// Appends AudioLevel SampleRepeat times; the caller holds the sound lock.
void AppendHeld() {
    uint32_t repeat = UtteranceDepth != 0 ? 1 : SampleRepeat.load(std::memory_order_relaxed);
    if (repeat == 0) return;
    const uint8_t level = AudioLevel.load(std::memory_order_relaxed);
    uint32_t count = SampleCount.load(std::memory_order_relaxed);
    while (repeat-- != 0 && count < SampleCapacity) SampleBuffer[count++] = level;
    SampleCount.store(count, std::memory_order_relaxed);
}

}  // namespace

void AppendSample() {
    std::lock_guard<std::recursive_mutex> hold(SoundLock);
    AppendHeld();
}

void OutputLevel(uint8_t level) {
    std::lock_guard<std::recursive_mutex> hold(SoundLock);
    AudioLevel.store(level, std::memory_order_relaxed);
    AppendHeld();
}

void WavPlayer() {
    uint32_t count;
    {
        std::lock_guard<std::recursive_mutex> hold(SoundLock);
        count = SampleCount.load(std::memory_order_relaxed);
        std::memcpy(WavImage, WavHeaderTemplate, WavHeaderSize);
        PutLe32(WavImage + 4, count + 36);
        PutLe32(WavImage + 40, count);
        std::memcpy(WavImage + WavHeaderSize, SampleBuffer, count);
        // Emptied before the play, not after: whatever is appended while the sound plays
        // belongs to the next playback instead of being thrown away.
        SampleCount.store(0, std::memory_order_relaxed);
    }
    // Only this thread writes the WAV image, so it is played without the lock.
    if (SoundService != nullptr) SoundService(WavImage, WavHeaderSize + count);
}

void BeginUtterance() {
    SoundLock.lock();
    ++UtteranceDepth;
    SoundReady.store(0);
}

void EndUtterance() {
    SoundReady.store(1);
    if (UtteranceDepth == 0) return;  // no utterance of this thread to end
    --UtteranceDepth;
    SoundLock.unlock();
}

void ResetSoundOutput() {
    AudioLevel.store(0);
    SampleRepeat.store(0);
    SampleCount.store(0);
    SoundReady.store(0);
}
