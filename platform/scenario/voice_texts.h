// What the speech memory's messages say: the table the speech image is recorded from
// (resources/voice_messages.txt, one message a line: number, TAB, text), carried inside the
// program.
#pragma once

#include <cstdint>
#include <string>

inline constexpr int VoiceTextCount = 113;  // messages 0-112

// The text of message n; "" for a number the table does not hold.
const std::string& VoiceMessageText(uint8_t n);

// `text` as words to compare: lower case, ё as е, every run of characters that are not letters
// or digits one blank, no blank at either end.
std::string SpokenWords(const std::string& text);
