// The headless runner's command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct RunnerOptions {
    uint64_t ticks = 0;
    std::vector<std::string> scripts;  // in order; "-" standard input
    std::string trace;                 // "" none, "-" standard output
    std::string wav;                   // "" none
    std::string screenshot;            // "" none
    std::string junit;                 // "" none
    std::string review;                // "" none: the review as JSON
    std::string report;                // "" none: the review as one HTML page
    std::string junitAttachments;      // "" none: the folder of a failed script's PNG and WAV
    std::vector<uint8_t> say;
    bool saySet = false;   // --say LIST
    bool sayList = false;  // --say list
    bool seedSet = false;
    uint32_t seed = 0;
    bool traceSound = false;
    bool lcd = false;
    bool show = false;
    bool realtime = false;
    bool help = false;
    bool version = false;
};

// Parses the command line; false with a message in `error` for a usage error.
bool ParseRunnerOptions(int argc, const char* const* argv, RunnerOptions& options,
                        std::string& error);

// The --help text.
std::string RunnerUsage();

// The runner's exit codes.
inline constexpr int ExitOk = 0;
inline constexpr int ExitExpectFailed = 1;  // an expect or wait until did not hold
inline constexpr int ExitUsage = 2;         // usage, script or output-path error, before any tick
inline constexpr int ExitWriteFailed = 4;  // an output could not be written during or after the run
inline constexpr int ExitSignalBase = 128;  // + the signal: 129 HUP, 130 INT, 131 QUIT, 143 TERM
