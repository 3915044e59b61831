// The scenario language: one step per line; blank lines and lines starting with '#' are
// skipped. The whole script is parsed before anything runs (interpreter.h plays it).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class StepKind {
    Tick,
    ModeDown,
    ModeUp,
    PressMode,
    Power,
    Click,
    ExpectLcd,
    Screenshot,
    Pulses
};

struct Step {
    StepKind kind;
    int line;               // line in the script, from 1
    uint64_t count = 0;     // ticks (Tick, PressMode) or pulses (Pulses)
    uint32_t x = 0, y = 0;  // Click
    std::string text[2];    // ExpectLcd lines; Screenshot path in text[0]
};

struct ParseResult {
    bool ok = true;
    std::string error;  // "FILE:LINE: message" when !ok
    std::vector<Step> steps;
};

// Parses a whole script; `name` is used in messages.
ParseResult ParseScenario(const std::string& name, const std::string& text);

// One step as a line of a script (no newline), which parses back to the same step. A click
// is written without its mouse button (either button acts the same).
std::string FormatStep(const Step& step);

// Parses "D" with unit ms, s or min (e.g. "2.5s", "20ms", "1 min") into whole 100 ms ticks,
// taken upwards. False for anything else.
bool ParseDuration(const std::string& text, uint64_t& ticks);
// Parses a whole unsigned decimal number of at most `max`.
bool ParseCount(const std::string& text, uint64_t max, uint64_t& value);
