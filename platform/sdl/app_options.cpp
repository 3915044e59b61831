#include "app_options.h"

const char AppUsage[] =
    "Usage: drk20vt5p [OPTIONS]\n"
    "The DRK-20VT5P dosimeter-radiometer in a window.\n"
    "\n"
    "  --scale N          draw the panel N times (1-4); default: the largest that fits the\n"
    "                     screen\n"
    "  --lang LANG        the window's words in 'en' (English) or 'ru' (Russian); default:\n"
    "                     from the locale (LC_ALL, LC_MESSAGES, LANG)\n"
    "  --lcd-look LOOK    'design' (flat colours, the default) or 'real' (dots with gaps,\n"
    "                     faint unlit dots, a glass highlight; at scale 2 and above)\n"
    "  --record FILE      write the session as a scenario script the headless runner replays\n"
    "  --script FILE      play a scenario script in real time; you may take over any time\n"
    "  --start FILE       run a scenario script as fast as possible, then hand over\n"
    "  --drill FILE       play a drill (a scenario with goals) in real time while you act;\n"
    "                     End ends it; then its review (with --record S also S.html)\n"
    "  --version          print the program's version\n"
    "  --help             show this help\n"
    "\n"
    "Mouse: either button on POWER or MODE. Keys: P clicks POWER; M or Space holds MODE\n"
    "while held; F1 or ? shows what the buttons do; S sound off and on, + and - the volume,\n"
    "C captions of the speech and sounds.\n"
    "\n"
    "Exit codes:\n"
    "  0    the window was closed and every script's expect held\n"
    "  1    a script's expect or wait until failed, or the window could not open\n"
    "  2    usage or script error, or the --record file could not be created\n"
    "  4    a recording or a screenshot could not be written\n"
    "  129  stopped by SIGHUP (a recording is committed whole)\n"
    "  130  stopped by SIGINT\n"
    "  131  stopped by SIGQUIT\n"
    "  143  stopped by SIGTERM\n";

bool ParseAppOptions(int argc, const char* const* argv, AppOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                error = "option " + arg + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--scale") {
            std::string v;
            if (!value(v)) return false;
            if (v.size() != 1 || v[0] < '0' + MinScale || v[0] > '0' + MaxScale) {
                error = "--scale needs a whole number from 1 to 4, not '" + v + "'";
                return false;
            }
            options.scale = v[0] - '0';
        } else if (arg == "--lcd-look") {
            std::string v;
            if (!value(v)) return false;
            if (v == "design") {
                options.lcdLook = LcdLook::Design;
            } else if (v == "real") {
                options.lcdLook = LcdLook::Real;
            } else {
                error = "--lcd-look is 'design' or 'real', not '" + v + "'";
                return false;
            }
        } else if (arg == "--lang") {
            if (!value(options.lang)) return false;
            if (options.lang != "en" && options.lang != "ru") {
                error = "--lang is 'en' or 'ru', not '" + options.lang + "'";
                return false;
            }
        } else if (arg == "--record") {
            if (!value(options.record)) return false;
        } else if (arg == "--script") {
            if (!value(options.script)) return false;
        } else if (arg == "--drill") {
            if (!value(options.drill)) return false;
        } else if (arg == "--start") {
            if (!value(options.start)) return false;
        } else {
            error = "unknown option '" + arg + "'";
            return false;
        }
    }
    return true;
}
