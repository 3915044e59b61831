#include "peripherals/sound_output.h"

std::atomic<uint8_t> AudioLevel{0};
std::atomic<uint32_t> SampleRepeat{0};
std::atomic<uint32_t> SampleCount{0};
std::atomic<uint8_t> SoundReady{0};
uint8_t SampleBuffer[SampleCapacity];
uint8_t WavImage[WavHeaderSize + SampleCapacity];
SoundServiceFn SoundService = nullptr;

// Placeholder until the sound output is built.
void AppendSample() {}
void WavPlayer() { SampleCount.store(0); }
void BeginUtterance() { SoundReady.store(0); }
void EndUtterance() { SoundReady.store(1); }

void ResetSoundOutput() {
    AudioLevel.store(0);
    SampleRepeat.store(0);
    SampleCount.store(0);
    SoundReady.store(0);
}
