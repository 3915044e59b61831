// What the speech memory's messages say: the table the speech image is recorded from
// (resources/voice_messages.txt, one message a line: number, TAB, text), carried inside the
// program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

inline constexpr int VoiceTextCount = 113;  // messages 0-112

// The text of message n; "" for a number the table does not hold.
const std::string& VoiceMessageText(uint8_t n);

// `text` as words to compare: lower case, ё as е, every run of characters that are not letters
// or digits one blank, no blank at either end.
std::string SpokenWords(const std::string& text);

// Whether the speech messages `said` (in the order spoken) say what an `expect said` pattern
// says. The pattern is words, compared as SpokenWords compares them, among which two kinds of
// token stand apart: "*" stands for any words (none too), and "#N" for the words of message N.
// So "Мощность дозы * Фон в норме." holds for any reading, and "#110 * #104" for message 110,
// anything, then message 104.
bool SaidMatches(const std::string& pattern, const std::vector<uint8_t>& said);
