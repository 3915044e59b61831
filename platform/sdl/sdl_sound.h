// The desktop's sound service: plays an in-memory 8000 Hz, 8-bit unsigned mono WAV through
// an SDL audio device and returns once it has been heard to its end.
#pragma once

#include <cstdint>

// Opens the audio device; false when there is none (sounds are then lost).
bool OpenSdlSound();
void CloseSdlSound();
// Called every few milliseconds while a sound holds the tick, so the window stays alive
// (nullptr: nothing is called).
void SetSdlSoundWaitHook(void (*hook)());
// The loudness on the way to the speakers, 0 (silent) to 100; the sound's length, and so the
// tick it holds, stays the same.
void SetSdlSoundVolume(int percent);
int SdlSoundVolume();
// The sound service the core calls (installed by the app).
void SdlSoundService(const uint8_t* wav, uint32_t bytes);
