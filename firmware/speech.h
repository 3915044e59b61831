// Spoken numbers and prompts: messages from the speech memory into the sound output.
#pragma once

#include <cstdint>

inline constexpr uint8_t NoMessage = 200;

// Messages the program plays on their own (the numbers and unit words are composed in
// speech.cpp).
inline constexpr uint8_t MsgLevelLow = 103;
inline constexpr uint8_t MsgLevelRaised = 104;
inline constexpr uint8_t MsgLevelHigh = 105;
inline constexpr uint8_t MsgGreeting = 106;
inline constexpr uint8_t MsgFarewell = 107;
inline constexpr uint8_t MsgBatteryLow = 108;
inline constexpr uint8_t MsgOverRange = 109;
inline constexpr uint8_t MsgReadingIntro = 110;
inline constexpr uint8_t MsgDoseAlarm = 111;

// Appends message n to the sample buffer (200 plays nothing).
void PlayMessage(uint8_t n);
// One utterance of message n: SoundReady 0, the message, SoundReady 1.
void PlayPrompt(uint8_t n);
// Speaks the gamma reading that line 2 shows (cells 12-16), with its unit word.
void SpeakReading();
// The message list SpeakReading plays for the current cells 12-16; returns its length.
uint8_t ComposeReading(uint8_t list[8]);
