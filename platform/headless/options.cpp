#include "options.h"

#include "scenario.h"

const char RunnerUsage[] =
    "Usage: drk20vt5p-headless [OPTIONS]\n"
    "Runs the DRK-20VT5P simulator without a window.\n"
    "\n"
    "  --script FILE      run the scenario steps in FILE ('-' for standard input)\n"
    "  --ticks N          run N host ticks of 100 ms after the script (default 0)\n"
    "  --trace FILE       write one JSON object per tick to FILE ('-' for standard output)\n"
    "  --lcd              print the two LCD lines at the end\n"
    "  --show             print the LCD lines whenever they change, with the instrument time\n"
    "  --realtime         pace the ticks at 100 ms of wall time; sounds hold the tick\n"
    "  --wav FILE         write every sound played during the run as one WAV file\n"
    "  --screenshot FILE  write a PNG of the panel at the end\n"
    "  --say LIST         play the comma-separated speech messages as one sound (with --wav)\n"
    "                     without starting the instrument\n"
    "  --version          print the program's version\n"
    "  --help             show this help\n"
    "\n"
    "Scenario steps: tick N | wait D(ms|s|min) | mode down | mode up | press mode [N] |\n"
    "  power | click X Y [left|right] | expect lcd \"LINE1\" \"LINE2\" | screenshot FILE |\n"
    "  pulses N\n"
    "Exit codes: 0 ok, 1 an expect failed, 2 usage or script error.\n";

namespace {

constexpr uint64_t MaxTicks = 1000000000ULL;

bool ParseSayList(const std::string& text, std::vector<uint8_t>& list) {
    size_t pos = 0;
    while (true) {
        size_t comma = text.find(',', pos);
        const std::string item =
            text.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        uint64_t n;
        if (!ParseCount(item, 255, n)) return false;
        list.push_back(static_cast<uint8_t>(n));
        if (comma == std::string::npos) return true;
        pos = comma + 1;
    }
}

}  // namespace

bool ParseRunnerOptions(int argc, const char* const* argv, RunnerOptions& options,
                        std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                error = "option " + arg + " needs a value";
                return false;
            }
            out = argv[++i];
            if (out.empty()) {
                error = "option " + arg + " needs a non-empty value";
                return false;
            }
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--ticks") {
            std::string v;
            if (!value(v)) return false;
            if (!ParseCount(v, MaxTicks, options.ticks)) {
                error = "--ticks needs a whole number from 0 to 1000000000, not '" + v + "'";
                return false;
            }
        } else if (arg == "--script") {
            if (!value(options.script)) return false;
        } else if (arg == "--trace") {
            if (!value(options.trace)) return false;
        } else if (arg == "--wav") {
            if (!value(options.wav)) return false;
        } else if (arg == "--screenshot") {
            if (!value(options.screenshot)) return false;
        } else if (arg == "--say") {
            std::string v;
            if (!value(v)) return false;
            options.say.clear();
            if (!ParseSayList(v, options.say)) {
                error = "--say needs comma-separated message numbers 0-255, not '" + v + "'";
                return false;
            }
            options.saySet = true;
        } else if (arg == "--lcd") {
            options.lcd = true;
        } else if (arg == "--show") {
            options.show = true;
        } else if (arg == "--realtime") {
            options.realtime = true;
        } else {
            error = "unknown option '" + arg + "'";
            return false;
        }
    }
    return true;
}
