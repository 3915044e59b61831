// The headless runner: drives the simulator tick by tick from a scenario script, as fast as
// the processor allows (or in real time), and writes LCD traces, screenshots and sound.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct RunnerOptions {
    uint64_t ticks = 0;
    std::string script;      // "" none, "-" standard input
    std::string trace;       // "" none, "-" standard output
    std::string wav;         // "" none
    std::string screenshot;  // "" none
    std::vector<uint8_t> say;
    bool saySet = false;
    bool lcd = false;
    bool show = false;
    bool realtime = false;
    bool help = false;
};

// Parses the command line; false with a message in `error` for a usage error.
bool ParseRunnerOptions(int argc, const char* const* argv, RunnerOptions& options,
                        std::string& error);

// Runs the whole program; returns the exit code (0 ok, 1 expect failed, 2 usage or script
// error).
int RunnerMain(int argc, const char* const* argv);

extern const char RunnerUsage[];
