// The scenario language: one step per line; blank lines and lines starting with '#' are
// skipped; a byte-order mark at the start of the script is skipped too. The whole script is
// parsed before anything runs (interpreter.h plays it).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "text.h"

enum class StepKind {
    Tick,
    ModeDown,
    ModeUp,
    PressMode,
    Power,
    PowerDown,  // POWER pressed with no button-up: a key, or a mouse button while MODE is held
    Click,
    ExpectLcd,
    Screenshot,
    Pulses,
    WaitUntilLcd,
    ExpectSaid,
    ExpectTone,
    ExpectClicks,
    ExpectSilence,
    ExpectBacklight,
    ExpectCursor,
    Source,
    Room,        // room W H
    Place,       // place NAME KIND R at X Y [hidden]
    Remove,      // remove NAME
    Move,        // move X Y: the instrument's detector
    Wall,        // wall X1 Y1 X2 Y2 T
    At,          // at T STEP: the step when the instrument time reaches T
    ExpectRate,  // expect rate A..B
    Pass,        // pass POINTS: the score a drill needs
    Seed         // seed N: the detector's background for the run (before every other step)
};

inline constexpr uint64_t StepMaxTicks = 1000000000ULL;  // about 3 years of instrument time
inline constexpr int StepLineCells = 12;                 // an LCD line's cells
inline constexpr int StepCells = 2 * StepLineCells;      // the LCD's cells, and the cursor's

struct Step {
    StepKind kind;
    int line;               // line in the script, from 1
    uint64_t count = 0;     // ticks (Tick, PressMode; WaitUntilLcd: the most it waits), pulses
                            // (Pulses), clicks at least (ExpectClicks), the cell (ExpectCursor),
                            // pulses a second in thousandths (Source)
    uint64_t upTo = 0;      // ExpectClicks: clicks at most
    bool on = false;        // ExpectTone: tone (not no tone); ExpectBacklight: on;
                            // ExpectCursor: shown (not off)
    uint32_t x = 0, y = 0;  // Click
    // ExpectLcd, WaitUntilLcd: the two lines as written between the quotes (escapes kept);
    // Screenshot: the path in text[0]; ExpectSaid: the words in text[0].
    std::string text[2];
    // ExpectLcd, WaitUntilLcd: what each cell must show, as its text with look-alike letters
    // made one (LookAlikeText); "" for a cell that may show anything.
    std::string cells[StepCells];
    std::string duration;  // WaitUntilLcd: the limit as written; At: the time as written; a
                           // goal: its D as written
    // The room steps, in millimetres: Room the size in pos[0], pos[1]; Place and Move the
    // point; Wall the two ends. Place: the strength in thousandths of a pulse a second in
    // count, the kind (SimSourceKind) in sourceKind, hidden in on. Wall: the transmission in
    // thousandths in count. ExpectRate: the range in thousandths of a pulse a second in count
    // and upTo. At: the tick it is due in count, the step in inner[0].
    std::string name;  // Place, Remove
    int32_t pos[4] = {};
    uint8_t sourceKind = 0;
    std::vector<Step> inner;
    // A goal (goal POINTS "TEXT" within D: CHECK): the step is its check (an expect kind)
    // that never fails the run; met at the first tick from its line, within `within` ticks,
    // at which the check holds. Pass: the points in `count`; Seed: the seed in `count`.
    bool goal = false;
    uint32_t points = 0;
    uint64_t within = 0;
    std::string goalText;
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
