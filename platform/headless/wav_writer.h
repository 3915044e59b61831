// The runner's sound: the sound service that takes what each tick plays, and the WAV file of
// the session as a person at the window hears it.
//
// The timeline: each tick is 800 samples (100 ms) of instrument time. A sound played in a
// tick starts at the tick's place and holds the tick for its length, as the window's sound
// service does: the next tick's samples start after the sound has ended (or after 800
// samples, when it is shorter). Silence (128) fills the rest. So the file lasts the run's
// instrument time plus what the sounds held it up, and the same run gives the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "output_file.h"

// Installs the sound service that keeps what each tick plays in TickSound.
void InstallRecordingSoundService();
// The samples the sound service was handed since the last ClearTickSound.
extern std::vector<uint8_t> TickSound;
void ClearTickSound();

inline constexpr uint32_t WavTickSamples = 800;  // 100 ms at 8000 Hz
// The most samples a WAV's 32-bit sizes hold (the RIFF size is the data size + 36).
inline constexpr uint64_t WavMaxSamples = 0xFFFFFFFFull - 36;

struct WavTimeline {
    OutputFile out;
    uint64_t samples = 0;  // data written so far
    std::string error;
};

// Opens the file and writes a header to be completed at the end (a device or pipe, which
// cannot seek, gets the largest length instead). False with wav.error.
bool BeginWav(WavTimeline& wav, const std::string& path);
// Adds one tick: its sound (may be empty), then silence up to 800 samples.
bool AddWavTick(WavTimeline& wav, const std::vector<uint8_t>& sound);
// Completes the header and puts the file in place. False with wav.error.
bool FinishWav(WavTimeline& wav);
void DiscardWav(WavTimeline& wav);

// Writes `samples` as one WAV file (the --say sound). False with `error`.
bool WriteWavFile(const std::string& path, const std::vector<uint8_t>& samples, std::string& error);
