// The scenario steps, one row each: the words that start the step, its usage as --help, the
// manual page and the README show it, how a line of it is read and how a step is written
// back. ParseScenario and FormatStep (scenario.h) are loops over this table; the player
// (interpreter.cpp) performs each kind.
//
// A new step is one row here (with its kind in scenario.h and its case in the player); the
// runner's --help lists it from the row, and a test fails until the manual page and the
// README list it too.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scenario.h"

// A line split into words; a word in double quotes may hold blanks, \" and \\.
struct StepWords {
    std::vector<std::string> w;    // each word, a quoted one unescaped
    std::vector<std::string> raw;  // each word as written (quoted: between the quotes)
    std::vector<bool> quoted;
    size_t n = 0;
    // Word k is `expected`, not quoted.
    bool Is(size_t k, const char* expected) const {
        return k < n && !quoted[k] && w[k] == expected;
    }
};

struct StepRow {
    // The step's name: its first word, and a second one when several steps share the first
    // ("expect lcd"). A line is read by the row whose words it starts with; a row of two
    // words comes before a row of one. Further words of the name are the parse's to check.
    const char* name;
    // Its forms as a script writes them, separated by " | " (--help, the manual page and
    // the README list each form).
    const char* usage;
    // Reads the line into `step` (its kind and values); false with the message otherwise.
    bool (*parse)(const StepWords& words, Step& step, std::string& error);
    // The kinds this row writes back (bits of StepKindBit), and how; 0 and nullptr for a row
    // whose steps another row writes (`wait D` is written as `tick N`).
    uint32_t kinds;
    std::string (*format)(const Step& step);
};

constexpr uint32_t StepKindBit(StepKind kind) {
    return 1u << static_cast<unsigned>(kind);
}

extern const StepRow StepTable[];
extern const size_t StepTableSize;

// The row that reads a line of these words; nullptr when none does.
const StepRow* FindStepRow(const StepWords& words);
// The row that writes a step of this kind.
const StepRow* StepRowOf(StepKind kind);
// The forms of a row's usage, one each.
std::vector<std::string> StepForms(const StepRow& row);
// Every step's forms as --help lists them: "Scenario steps: tick N | ...", wrapped to lines
// of at most `width` columns, the ones after the first indented by two.
std::string StepUsageText(size_t width);
// For a line no row reads: the rest of the names of the steps its first word starts
// ("expect": "lcd | said | ..."), for the message; "" when the word starts none.
std::string StepNamesAfter(const std::string& verb);
