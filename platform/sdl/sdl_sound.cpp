#include "platform/sdl/sdl_sound.h"

#include <SDL.h>

namespace {

SDL_AudioDeviceID Device = 0;
// How long the device's own buffer takes to play out once the queue is empty.
Uint32 DeviceBufferMs = 0;

}  // namespace

bool OpenSdlSound() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec want{};
    want.freq = 8000;
    want.format = AUDIO_U8;
    want.channels = 1;
    want.samples = 256;  // 32 ms: a 5 ms click holds the tick little longer than itself
    SDL_AudioSpec have{};
    // SDL converts to whatever the device takes.
    Device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (Device == 0) return false;
    DeviceBufferMs = static_cast<Uint32>((have.samples * 1000 + have.freq - 1) / have.freq);
    SDL_PauseAudioDevice(Device, 0);
    return true;
}

void CloseSdlSound() {
    if (Device != 0) SDL_CloseAudioDevice(Device);
    Device = 0;
}

void SdlSoundService(const uint8_t* wav, uint32_t bytes) {
    if (Device == 0 || bytes <= 44) return;
    if (SDL_QueueAudio(Device, wav + 44, bytes - 44) != 0) return;
    // Synchronous, like the instrument's original sound call: wait until the queue has been
    // taken by the device, then until the device's buffer has played out.
    while (SDL_GetQueuedAudioSize(Device) > 0) SDL_Delay(1);
    SDL_Delay(DeviceBufferMs);
}
