#include "peripherals/speech_memory.h"

#include "peripherals/sound_output.h"

const uint8_t* VoiceImageBase = VoiceImageData;
uint32_t VoiceImageLength = VoiceImageDataSize;
uint32_t VoicePage = 0;
uint32_t VoiceOffset = 0;

// Placeholder until the speech memory is built.
void VoiceSeek(uint32_t page) {
    VoicePage = page;
    VoiceOffset = 0;
}
void VoiceReadByte() { AudioLevel.store(128); }

void ResetSpeechMemory() {
    VoicePage = 0;
    VoiceOffset = 0;
}
