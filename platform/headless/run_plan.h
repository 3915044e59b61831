// The headless runner's plan: every script read and parsed, every output named and checked
// and the streamed ones opened, all before the first tick, so that a usage, script or
// output-path error leaves nothing written. With --junit a script that cannot be read or
// parsed is an error case of the report and the others run.
#pragma once

#include <string>
#include <vector>

#include "junit_writer.h"
#include "options.h"
#include "output_file.h"
#include "scenario.h"
#include "wav_writer.h"

struct Script {
    std::string path;  // as given, "-" standard input
    std::string name;  // in messages
    std::vector<Step> steps;
    std::string error;  // a script that cannot be read or parsed (a JUnit error case)
    int errorLine = 0;
};

struct RunPlan {
    std::vector<Script> scripts;  // in order; one unnamed script when none was given
    int scriptErrors = 0;         // how many of them cannot be read or parsed
    OutputFile trace;             // open when --trace is given
    WavTimeline wav;              // begun when --wav is given
};

// Plans the run of `options`. False when the program ends before the first tick, with the
// message printed and `exitCode` set: a usage or script error, a stop signal, or every script
// an error case (then the report alone is written).
bool PlanRun(const RunnerOptions& options, RunPlan& plan, int& exitCode);

// The JUnit error case of a script that cannot be read or parsed.
JunitCase ScriptErrorCase(const Script& script);

// A file name for an attachment of the script: its number in the run and its base name,
// letters, digits and . - _ kept.
std::string AttachmentName(size_t index, const std::string& path, const char* extension);

// Prints "drk20vt5p-headless: " and the message on standard error, after what standard output
// holds.
void Message(const char* format, ...);
