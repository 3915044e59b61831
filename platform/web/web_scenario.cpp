// Scenario scripts played by the page (its tests): the scenario player over the page's own
// tick, so the page's frames and sound are those of the script. The page's script calls
// WebScenarioNext and does what WebScenarioAction says: on a tick, its own tick (which draws
// the canvas and plays the sound), then calls again.
//
// WebScenarioNext may run the firmware (a button input), so, like the other such exports, it
// returns nothing; the action is read afterwards.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <string>

#include "interpreter.h"
#include "scenario.h"
#include "simulator.h"

namespace {

ScenarioPlayer Player;
int32_t Action = ScenarioAction::Done;
std::string Message;  // a script error or a failure
uint8_t WavHeader[SimWavHeaderSize];

}  // namespace

extern "C" {

// A fresh instrument (as at the window's creation) and `text` ready to play: 0, or -1 for a
// script error (WebScenarioMessage says it; nothing is restarted).
EMSCRIPTEN_KEEPALIVE int32_t WebScenarioBegin(const char* name, const char* text) {
    ParseResult parsed = ParseScenario(name, text);
    if (!parsed.ok) {
        Message = parsed.error;
        return -1;
    }
    SimReset();
    SimStart();
    ScenarioBegin(Player, name, std::move(parsed.steps));
    Message.clear();
    Action = ScenarioAction::Done;
    return 0;
}

// Plays up to the next thing the page must do.
EMSCRIPTEN_KEEPALIVE void WebScenarioNext() {
    const ScenarioAction a = ScenarioNext(Player);
    Action = a.kind;
    if (a.kind == ScenarioAction::Failed) Message = a.message;
}

// 0 a tick, 1 a screenshot (the page has nothing to write), 2 done, 3 failed.
EMSCRIPTEN_KEEPALIVE int32_t WebScenarioAction() {
    return Action;
}

EMSCRIPTEN_KEEPALIVE const char* WebScenarioMessage() {
    return Message.c_str();
}

// The 44-byte header of a WAV image of `samples` samples in the sound's format.
EMSCRIPTEN_KEEPALIVE const uint8_t* WebWavHeader(uint32_t samples) {
    SimWavHeader(WavHeader, samples);
    return WavHeader;
}

}  // extern "C"
