#include "wav_writer.h"

#include "simulator.h"

std::vector<uint8_t> TickSound;

namespace {

constexpr uint32_t WavHeaderBytes = 44;
constexpr uint8_t Silence = 128;

void RecordingSoundService(const uint8_t* wav, uint32_t bytes) {
    if (bytes < WavHeaderBytes) return;
    TickSound.insert(TickSound.end(), wav + WavHeaderBytes, wav + bytes);
}

}  // namespace

void InstallRecordingSoundService() {
    SimSetSoundService(RecordingSoundService);
}

void ClearTickSound() {
    TickSound.clear();
}

bool BeginWav(WavTimeline& wav, const std::string& path) {
    wav = WavTimeline{};
    if (!OpenOutput(wav.out, path)) {
        wav.error = wav.out.error;
        return false;
    }
    // A file's header is completed at the end; a stream's says the largest length, and the
    // sound follows it tick by tick (a player reads such a stream up to its end).
    uint8_t header[WavHeaderBytes];
    SimWavHeader(header, wav.out.seekable ? 0 : static_cast<uint32_t>(WavMaxSamples));
    if (!WriteOutput(wav.out, header, WavHeaderBytes)) {
        wav.error = wav.out.error;
        DiscardOutput(wav.out);
        return false;
    }
    return true;
}

bool AddWavTick(WavTimeline& wav, const std::vector<uint8_t>& sound) {
    if (!wav.error.empty()) return false;
    const uint64_t added = sound.size() > WavTickSamples ? sound.size() : WavTickSamples;
    if (wav.samples + added > WavMaxSamples) {
        wav.error = wav.out.path + ": the sound is longer than one WAV file holds (4 GiB)";
        return false;
    }
    static const std::vector<uint8_t> silence(WavTickSamples, Silence);
    const size_t rest = static_cast<size_t>(added - sound.size());
    if (!WriteOutput(wav.out, sound.data(), sound.size()) ||
        !WriteOutput(wav.out, silence.data(), rest)) {
        wav.error = wav.out.error;
        return false;
    }
    wav.samples += added;
    return true;
}

bool FinishWav(WavTimeline& wav) {
    uint8_t header[WavHeaderBytes];
    SimWavHeader(header, static_cast<uint32_t>(wav.samples));
    bool ok = wav.error.empty();
    if (ok && wav.out.seekable) ok = WriteOutputAt(wav.out, 0, header, WavHeaderBytes);
    ok = ok && CommitOutput(wav.out);
    if (!ok) {
        if (wav.error.empty()) wav.error = wav.out.error;
        DiscardOutput(wav.out);
    }
    return ok;
}

void DiscardWav(WavTimeline& wav) {
    DiscardOutput(wav.out);
}

bool WriteWavFile(const std::string& path, const std::vector<uint8_t>& samples,
                  std::string& error) {
    std::vector<uint8_t> file(WavHeaderBytes);
    SimWavHeader(file.data(), static_cast<uint32_t>(samples.size()));
    file.insert(file.end(), samples.begin(), samples.end());
    return WriteWholeOutput(path, file.data(), file.size(), error);
}
