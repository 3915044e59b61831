#include "wav_writer.h"

#include <chrono>
#include <fstream>
#include <thread>

#include "simulator.h"

SoundRecording TheRecording;

namespace {

constexpr uint32_t WavHeaderBytes = 44;

void RecordingSoundService(const uint8_t* wav, uint32_t bytes) {
    if (bytes < WavHeaderBytes) return;
    const uint32_t count = bytes - WavHeaderBytes;
    if (TheRecording.keep)
        TheRecording.samples.insert(TheRecording.samples.end(), wav + WavHeaderBytes, wav + bytes);
    if (TheRecording.realtime)
        std::this_thread::sleep_for(std::chrono::microseconds(count * 125ULL));
}

}  // namespace

void InstallRecordingSoundService() {
    SimSetSoundService(RecordingSoundService);
}

bool WriteWavFile(const std::string& path, const std::vector<uint8_t>& samples) {
    uint8_t h[WavHeaderBytes];
    const uint32_t n = static_cast<uint32_t>(samples.size());
    SimWavHeader(h, n);
    std::ofstream out(path, std::ios::binary);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(h), WavHeaderBytes);
    out.write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(n));
    return static_cast<bool>(out);
}
