// Sound output: the instrument's single 8-bit output, recorded at 8000 Hz, and its playback.
//
// Models: the output level, the recording of every level written (SampleRepeat copies per
// write: 4 from the 2 kHz timer interrupt, 1 from voice playback) into a fixed buffer of
// 540 s, and the hand-over of the recorded samples as one in-memory WAV image to the
// platform's sound service, which plays it to the end before it returns.
// Leaves out: any filtering or mixing; silence that nothing wrote is not recorded.
//
// Two writers append: the timer interrupt model in the host tick and voice playback in the
// firmware's step. They take turns on one thread, so each run of appended samples is whole
// and a voice message is complete before the host can play it.
#pragma once

#include <atomic>
#include <cstdint>

inline constexpr uint32_t SampleCapacity = 4325376;  // 8192 pages of 528 bytes
inline constexpr uint32_t WavHeaderSize = 44;

extern std::atomic<uint8_t> AudioLevel;     // level now on the output, 128 = rest
extern std::atomic<uint32_t> SampleRepeat;  // samples per AppendSample
extern std::atomic<uint32_t> SampleCount;   // samples in SampleBuffer
extern std::atomic<uint8_t> SoundReady;     // 1 = the buffer holds only complete sounds
extern uint8_t SampleBuffer[SampleCapacity];
extern uint8_t WavImage[WavHeaderSize + SampleCapacity];

// Appends AudioLevel SampleRepeat times (samples past the capacity are dropped).
void AppendSample();
// Puts level on the output and appends it, as one step (the timer interrupt model's way of
// writing a level).
void OutputLevel(uint8_t level);
// Writes the 44-byte header of a WAV image of `samples` samples (8000 Hz, 8-bit, mono).
void WriteWavHeader(uint8_t* out, uint32_t samples);
// Builds the WAV image from the buffer, plays it through the sound service, empties the buffer.
void WavPlayer();

// What the samples are, for a front end that reports what it played: the detector clicks
// and alarm tone bursts the timer interrupt model starts and the speech messages read from
// the speech memory, logged as they are recorded. WavPlayer hands the log over with the
// samples (PlayedSoundLog) and starts a new one.
inline constexpr uint32_t SoundLogMessages = 64;  // messages kept; later ones only counted
struct SoundLog {
    uint32_t clicks;
    uint32_t tones;
    uint32_t messageCount;  // messages logged, also those past the first SoundLogMessages
    uint8_t messages[SoundLogMessages];
};
extern SoundLog SampleBufferLog;  // what the buffer holds now
extern SoundLog PlayedSoundLog;   // what the last playback held
void LogSpokenMessage(uint8_t n);
// The buffer was emptied without a playback (a power-on): its log goes with it.
void ClearSampleBufferLog();

// An utterance: SoundReady 0 ... 1 around a voice message the firmware appends.
void BeginUtterance();
void EndUtterance();

// The platform's sound service: plays an in-memory WAV image to its end, then returns.
// Each front end installs its own; none installed means sounds are lost.
using SoundServiceFn = void (*)(const uint8_t* wav, uint32_t bytes);
extern SoundServiceFn SoundService;

// Program-start state (the sound service stays installed).
void ResetSoundOutput();
