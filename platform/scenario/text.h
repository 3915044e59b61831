// Text helpers shared by the scenario language, its player and the front ends: LCD cells
// as text, look-alike letters, printable messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The Cyrillic letters that the display writes with a Latin letter's code (its character
// ROM has no code of their own: А В Е К М Н О Р С Т Х а е о р с у х), each with that letter.
struct LookAlike {
    const char* cyrillic;
    char latin;
};
extern const LookAlike LookAlikes[];
extern const size_t LookAlikeCount;
// Every pair, the Cyrillic letter then the Latin one, as one text ("АAВB..."; the page's).
std::string LookAlikePairs();

// The text of one LCD cell with the letters that look alike on the display made one: the
// Cyrillic letters that share their glyph with a Latin one (А and A, ...) become the Latin
// letter. Two cells look the same when their LookAlikeText is the same.
std::string LookAlikeText(const std::string& cell);
// The reverse, for text a person reads: the display's text with every letter of a Russian
// word in Cyrillic. A word is Russian when it holds a Cyrillic letter or is of small
// look-alike letters only (the seconds "c"); words of Latin capitals alone (the model name,
// GF) stay Latin. LookAlikeText of each cell of the result gives the display's text back.
std::string CyrillicSpelling(const std::string& text);
// Splits a line of LCD text into its cells (one character each; "⁻¹" and "⁻²" are one cell).
std::vector<std::string> SplitCells(const std::string& line);
// `text` for a message: control characters, a byte-order mark and bytes that are not UTF-8
// written as escapes (\r, \t, \n, \xNN, \u{FEFF}), everything else as it is.
std::string PrintableText(const std::string& text);
// The length of the UTF-8 sequence that starts at s[i], 0 when it is not one.
size_t Utf8Length(const std::string& s, size_t i);
// Code points in a text: the columns it takes in a terminal.
size_t Columns(const std::string& text);
// "1 click", "2 clicks".
std::string Plural(uint64_t n, const char* one, const char* many);
