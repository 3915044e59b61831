// The desktop app's command line.
#pragma once

#include <string>

inline constexpr int MinScale = 1;
inline constexpr int MaxScale = 4;

enum class LcdLook { Design, Real };

struct AppOptions {
    int scale = 0;  // 0: the largest that fits the screen
    LcdLook lcdLook = LcdLook::Design;
    std::string record;  // "" none
    std::string script;  // played in the window at the wall clock's pace
    std::string start;   // played as fast as possible before the person takes over
    std::string drill;   // a drill: played in real time with its goals, then reviewed
    std::string lang;    // "en" or "ru"; "": from the locale
    bool help = false;
    bool version = false;
};

// Parses the command line; false with a message in `error` for a usage error.
bool ParseAppOptions(int argc, const char* const* argv, AppOptions& options, std::string& error);

extern const char AppUsage[];
