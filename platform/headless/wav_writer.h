// The runner's sound service: keeps what the instrument plays for --wav and, in real time,
// holds the tick for the sound's length.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SoundRecording {
    bool keep = false;      // keep the samples for --wav
    bool realtime = false;  // hold the caller for the sound's length
    std::vector<uint8_t> samples;
};
extern SoundRecording TheRecording;

// Installs the recording sound service with the settings in TheRecording.
void InstallRecordingSoundService();
// Writes `samples` as a WAV file; false on failure.
bool WriteWavFile(const std::string& path, const std::vector<uint8_t>& samples);
