// Plays a parsed scenario (scenario.h) through the simulator's surface, one step at a time,
// while the caller keeps the clock: the player never calls SimTick itself. Every front end
// that plays scripts shares it: the headless runner (as fast as it can, or in real time) and
// the desktop app (in its window at the wall clock's pace, or fast-forward before it hands
// the instrument to the user).
//
//     ScenarioPlayer player;
//     ScenarioBegin(player, "demo.scn", std::move(parsed.steps));
//     for (;;) {
//         const ScenarioAction a = ScenarioNext(player);
//         if (a.kind == ScenarioAction::Tick) { SimTick(); /* trace, redraw, ... */ continue; }
//         if (a.kind == ScenarioAction::Screenshot) { /* write SimFrame() to a.step->text[0] */
//                                                     continue; }
//         if (a.kind == ScenarioAction::Failed) report(a.message);
//         break;  // Done or Failed
//     }
//
// ScenarioNext performs every step that needs no time at once (button input, check-source
// pulses, the room, expectations), and the `at` steps when their tick has come (before the
// script's own next step), and returns when the script needs something from the caller:
// - Tick: run exactly one SimTick, when the caller's clock says so, then call ScenarioNext
//   again. At the next call the player counts the tick and takes what it played (SimPlayedSound)
//   for the sound checks.
// - Screenshot: write the panel to the file the step names, then call again.
// - Done: the script has ended; further calls return Done. An `at` step whose time has not
//   come by then fails the script instead.
// - Failed: an expectation did not hold; `message` says where and what ("FILE:LINE: ..."
//   and indented detail lines, each line ending in a newline). Further calls return it again.
// The caller may tick on its own before a script and after it, never between a Tick action
// and the next call. A script starts from the state the caller left (normally right after
// SimStart) and counts its ticks from there.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "scenario.h"
#include "simulator.h"

struct ScenarioAction {
    enum Kind : uint8_t { Tick, Screenshot, Done, Failed };
    Kind kind;
    const Step* step = nullptr;  // the step in play; nullptr at Done
    std::string message;         // Failed only
};

// What was heard since the last sound check (expect said, tone, no tone, clicks, silence).
struct HeardSound {
    uint64_t samples = 0;
    uint64_t clicks = 0;
    uint64_t tones = 0;
    std::vector<uint8_t> messages;  // speech messages in the order spoken
    uint64_t messagesMissed = 0;    // messages a playback held beyond what it reports
    int sinceLine = 0;              // the line of the last sound check, 0 the start
};

// A goal of the script (a `goal` step) as the run has met it or not.
struct GoalState {
    const Step* step;
    uint64_t from = 0;  // the tick count when its line came
    bool open = true;   // still watched: not met and its time not up
    bool met = false;
    uint64_t tick = 0;   // met: the tick count then
    std::string lcd[2];  // met: the LCD lines then
};

struct ScenarioPlayer {
    std::string name;  // the script's name in messages
    std::vector<Step> steps;
    size_t next = 0;  // the next step to start
    const Step* current = nullptr;
    uint64_t ticksLeft = 0;    // ticks the current step still runs (at most, for a wait until)
    bool releaseMode = false;  // MODE goes up when the current step's ticks have run
    bool tickOut = false;      // a Tick action is out: the caller has run one SimTick
    uint64_t tick = 0;         // ticks run since ScenarioBegin
    HeardSound heard;
    // The `at` steps started and not yet run: the tick each is due and its step, in the
    // order started.
    std::vector<std::pair<uint64_t, const Step*>> timeline;
    std::vector<GoalState> goals;  // in the order of their lines
    bool passSet = false;          // a `pass` step has set the pass mark
    uint64_t passMark = 0;
    SimSoundReport tickSound{};  // what the last tick played, for the goals' sound checks
    ScenarioAction failure{};    // kept once an expectation has failed
    bool failed = false;
    // The inputs the last ScenarioNext gave the instrument, in order, each as the step that
    // gives it alone: mode down, mode up (a press mode's release too), power, power down,
    // click, pulses, source, and the room's steps (room, place, remove, move, wall; an `at`
    // step's own step when it ran). A recorder writes these to replay the same run.
    std::vector<Step> given;
};

// Starts playing `steps`; `name` is the script's name in messages. The room steps and
// `source` act on the simulator's room (SimRoom, SimHoldSource, ...), which stays when the
// script ends.
void ScenarioBegin(ScenarioPlayer& player, std::string name, std::vector<Step> steps);
// Plays up to the next thing the caller must do (see above).
ScenarioAction ScenarioNext(ScenarioPlayer& player);

// Every goal of the steps, in their order: as the run has met it or not, a goal whose line
// the run never reached (it ended or failed before) not met.
std::vector<GoalState> ScenarioGoals(const ScenarioPlayer& player);

// The seed a `seed` step sets (true), or false when the steps set none.
bool ScenarioSeed(const std::vector<Step>& steps, uint32_t& seed);

// The most ticks the steps can run (a wait until counted with its limit).
uint64_t ScenarioMaxTicks(const std::vector<Step>& steps);

// The instrument time after `tick` ticks as "MM:SS.t" (minutes keep counting past 59), as
// --show and failure messages print it.
std::string TickTimeText(uint64_t tick);
