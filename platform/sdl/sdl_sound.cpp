#include "sdl_sound.h"

#include <SDL.h>

#include <vector>

namespace {

SDL_AudioDeviceID Device = 0;
// How long the device's own buffer takes to play out once the queue is empty.
Uint32 DeviceBufferMs = 0;
void (*WaitHook)() = nullptr;
// The longest sleep between two calls of the wait hook.
constexpr Uint32 HookPeriodMs = 10;
int Volume = 100;           // percent
std::vector<Uint8> Scaled;  // the samples at the volume, as the device gets them

void Pause(Uint32 ms) {
    if (WaitHook == nullptr) {
        SDL_Delay(ms);
        return;
    }
    WaitHook();
    SDL_Delay(ms < HookPeriodMs ? ms : HookPeriodMs);
}

}  // namespace

bool OpenSdlSound() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec want{};
    want.freq = 8000;
    want.format = AUDIO_U8;
    want.channels = 1;
    want.samples = 128;  // 16 ms: a 5 ms click holds the tick little longer than itself
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

void SetSdlSoundWaitHook(void (*hook)()) {
    WaitHook = hook;
}

void SetSdlSoundVolume(int percent) {
    Volume = percent < 0 ? 0 : percent > 100 ? 100 : percent;
}

int SdlSoundVolume() {
    return Volume;
}

void SdlSoundService(const uint8_t* wav, uint32_t bytes) {
    if (Device == 0 || bytes <= 44) return;
    const Uint32 samples = bytes - 44;
    SDL_ClearQueuedAudio(Device);
    // The volume on a copy around the silence level 128: the core's image stays as it is.
    Scaled.assign(wav + 44, wav + 44 + samples);
    for (Uint8& s : Scaled)
        s = static_cast<Uint8>(128 + (static_cast<int>(s) - 128) * Volume / 100);
    if (SDL_QueueAudio(Device, Scaled.data(), samples) != 0) return;
    // Synchronous, like the instrument's original sound call. The sound starts when the
    // device takes its first part from the queue and ends its own length later; the queue
    // must also have been taken whole.
    const Uint64 frequency = SDL_GetPerformanceFrequency();
    const Uint64 limit = SDL_GetPerformanceCounter() + frequency * (samples / 8000 + 2);
    while (SDL_GetQueuedAudioSize(Device) >= samples && SDL_GetPerformanceCounter() < limit) {
        Pause(1);
    }
    const Uint64 end = SDL_GetPerformanceCounter() + frequency * samples / 8000;
    for (;;) {
        const Uint64 now = SDL_GetPerformanceCounter();
        if (now >= limit + frequency * DeviceBufferMs / 1000) break;  // a stalled device
        if (SDL_GetQueuedAudioSize(Device) == 0 && now >= end) break;
        const Uint64 left = now < end ? (end - now) * 1000 / frequency : 0;
        Pause(left > 1 ? static_cast<Uint32>(left - 1) : 1);
    }
}
