// Drills in the window (--drill FILE): the drill's world and timeline play in real time while
// the person acts; its goals' texts are printed at the start (whether each is met is shown
// only at the end); it ends when the last goal's time is up, the drill's timeline has run
// out, the End key is pressed or the window is closed. Then the review: the score and each
// goal in the terminal, and with --record SESSION the review page SESSION.html beside it.
#pragma once

#include <string>

#include "interpreter.h"

// Loads the drill into `player` and prints its goals; false with the reason printed. `seed`
// is the drill's seed, when it sets one (`seeded`), for the detector before SimStart.
bool BeginDrill(const std::string& path, ScenarioPlayer& player, bool& seeded, uint32_t& seed);
// A step given to the instrument, as the recording writes it: the review's presses.
void DrillStep(const std::string& line);
// One host tick has run.
void DrillTick();
// Whether the drill is over: every goal's time up (or met), or the timeline done.
bool DrillOver(const ScenarioPlayer& player, bool timelineDone);
// The review: prints it, and writes `record`.html when a session was recorded.
void EndDrill(const ScenarioPlayer& player, const std::string& record);
