#include "support/machine.h"

PlayedSounds* PlayedSounds::current = nullptr;

void PlayedSounds::Service(const uint8_t* wav, uint32_t bytes) {
    if (current) current->wavs.emplace_back(wav, wav + bytes);
}
