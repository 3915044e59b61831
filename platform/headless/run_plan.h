// The headless runner's plan: every script read and parsed, every output named and checked
// and the streamed ones opened, all before the first tick, so that a usage, script or
// output-path error leaves nothing written.
#pragma once

#include <string>
#include <vector>

#include "options.h"
#include "output_file.h"
#include "scenario.h"
#include "wav_writer.h"

struct Script {
    std::string path;  // as given, "-" standard input
    std::string name;  // in messages
    std::vector<Step> steps;
};

struct RunPlan {
    std::vector<Script> scripts;  // in order; one unnamed script when none was given
    OutputFile trace;             // open when --trace names a file
    WavTimeline wav;              // begun when --wav names a file
};

// Plans the run of `options`; false with the message printed (exit code 2, nothing written).
bool PlanRun(const RunnerOptions& options, RunPlan& plan);

// Prints "drk20vt5p-headless: " and the message on standard error, after what standard output
// holds.
void Message(const char* format, ...);
