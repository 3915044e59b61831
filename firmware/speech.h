// Spoken numbers and prompts: messages from the speech memory into the sound output.
#pragma once

#include <cstdint>

inline constexpr uint8_t NoMessage = 200;

// Appends message n to the sample buffer (200 plays nothing).
void PlayMessage(uint8_t n);
// One utterance of message n: SoundReady 0, the message, SoundReady 1.
void PlayPrompt(uint8_t n);
// Speaks the gamma reading that line 2 shows (cells 12-16), with its unit word.
void SpeakReading();
// The message list SpeakReading plays for the current cells 12-16; returns its length.
uint8_t ComposeReading(uint8_t list[8]);
