// Sessions: the run written down as a scenario script that the headless runner replays to
// the same ticks, and scripts played in the window (in real time, or fast before the person
// takes over). Everything the instrument is given, by the person or by a script, is
// recorded as its step at its tick.
#pragma once

#include <cstdint>
#include <string>

#include "interpreter.h"

// Opens FILE for the recording; false with the reason printed.
bool BeginRecording(const std::string& path);
// A step given to the instrument now, as a script line ("mode down", "click 50 290", ...).
void RecordStep(const std::string& line);
// One host tick has run.
void RecordTick();
// Writes the ticks since the last step and puts the file in place (complete, or not at all
// when a write failed); prints where it ended.
void EndRecording();
// Whether a recording or a screenshot could not be written (each said when it failed).
bool SessionWriteFailed();

// The factory-settings key: everything back to the program's start (as closing the window
// and starting again), the instrument switched on as at the window's creation. Refused, with
// a word why, while recording: a recording holds no such step to replay.
void FactorySettings();

// Reads (the runner's rules, script_reader.h) and parses a script; false with the reason
// printed (StopSignal is set when a stop signal ended the read).
bool LoadScript(const std::string& path, ScenarioPlayer& player);
// ScenarioNext, with the steps it gave the instrument recorded, the expectations that held
// reported, and screenshots written. Returns Tick, Done or Failed (its message printed).
ScenarioAction PlayScript(ScenarioPlayer& player);
