// The headless runner's command line.
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
    bool version = false;
};

// Parses the command line; false with a message in `error` for a usage error.
bool ParseRunnerOptions(int argc, const char* const* argv, RunnerOptions& options,
                        std::string& error);

extern const char RunnerUsage[];
