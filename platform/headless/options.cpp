#include "options.h"

#include "scenario.h"
#include "steps.h"

namespace {

const char RunnerUsageStart[] =
    "Usage: drk20vt5p-headless [OPTIONS]\n"
    "Runs the DRK-20VT5P simulator without a window.\n"
    "\n"
    "  --script FILE      run the scenario steps in FILE ('-' for standard input); given\n"
    "                     more than once, each script runs on a freshly started instrument\n"
    "  --ticks N          run N host ticks of 100 ms after the script (default 0)\n"
    "  --trace FILE       write one JSON object per tick to FILE ('-' for standard output)\n"
    "  --trace-sound      add what each tick played to the trace: clicks, tones, speech\n"
    "  --lcd              print the two LCD lines at the end\n"
    "  --show             print the LCD lines whenever they change, with the instrument time\n"
    "  --realtime         pace the ticks at 100 ms of wall time; sounds hold the tick\n"
    "  --wav FILE         write the session's sound as heard at the window: every sound at\n"
    "                     its tick, silence between, a tick held for its sound's length\n"
    "  --screenshot FILE  write a PNG of the panel at the end\n"
    "  --junit FILE       write a JUnit XML report: one test case per script\n"
    "  --review FILE      write the review of the run as JSON: presses, screens, speech,\n"
    "                     tone bursts and alarms at their ticks (one entry per script)\n"
    "  --report FILE      write the review as one self-contained HTML page with plots;\n"
    "                     with several --script it opens with a class table\n"
    "  --junit-attachments DIR\n"
    "                     for each failed script, its panel (PNG) and sound (WAV) at the\n"
    "                     failure in DIR, named in the report as attachments\n"
    "  --seed N           a different, repeatable background of detector pulses (0-4294967295)\n"
    "  --say LIST         write the comma-separated speech messages as one sound to --wav,\n"
    "                     without starting the instrument\n"
    "  --say list         print the speech messages with their numbers and words\n"
    "  --version          print the program's version\n"
    "  --help             show this help\n"
    "\n";

// After the steps (StepUsageText).
const char RunnerUsageEnd[] =
    "  D is a time with unit ms, s or min (e.g. 2.5s, 20ms, 1 min)\n"
    "\n"
    "Exit codes:\n"
    "  0    the run completed and every expect held\n"
    "  1    an expect or wait until failed (the script stops there)\n"
    "  2    usage, script or output-path error, found before the first tick; nothing written\n"
    "  4    an output could not be written (the message names it; it is left as it was)\n"
    "  130  stopped by SIGINT: the outputs hold the run up to the last tick\n"
    "  143  stopped by SIGTERM, the same\n";

constexpr uint64_t MaxTicks = StepMaxTicks;

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

std::string RunnerUsage() {
    return RunnerUsageStart + StepUsageText(88) + RunnerUsageEnd;
}

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
        // An output given twice would leave the first one unwritten.
        auto once = [&](std::string& out) {
            if (!out.empty()) {
                error = "option " + arg + " given twice";
                return false;
            }
            return value(out);
        };
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--ticks") {
            std::string v;
            if (!value(v)) return false;
            if (!ParseCount(v, MaxTicks, options.ticks)) {
                error = "--ticks needs a whole number from 0 to 1000000000, not '" +
                        PrintableText(v) + "'";
                return false;
            }
        } else if (arg == "--seed") {
            std::string v;
            uint64_t seed;
            if (!value(v)) return false;
            if (!ParseCount(v, 0xFFFFFFFFu, seed)) {
                error = "--seed needs a whole number from 0 to 4294967295, not '" +
                        PrintableText(v) + "'";
                return false;
            }
            options.seed = static_cast<uint32_t>(seed);
            options.seedSet = true;
        } else if (arg == "--script") {
            std::string v;
            if (!value(v)) return false;
            options.scripts.push_back(v);
        } else if (arg == "--trace") {
            if (!once(options.trace)) return false;
        } else if (arg == "--wav") {
            if (!once(options.wav)) return false;
        } else if (arg == "--screenshot") {
            if (!once(options.screenshot)) return false;
        } else if (arg == "--junit") {
            if (!once(options.junit)) return false;
        } else if (arg == "--review") {
            if (!once(options.review)) return false;
        } else if (arg == "--report") {
            if (!once(options.report)) return false;
        } else if (arg == "--junit-attachments") {
            if (!once(options.junitAttachments)) return false;
        } else if (arg == "--say") {
            std::string v;
            if (!value(v)) return false;
            options.say.clear();
            options.sayList = v == "list";
            if (!options.sayList && !ParseSayList(v, options.say)) {
                error = "--say needs comma-separated message numbers 0-255 or 'list', not '" +
                        PrintableText(v) + "'";
                return false;
            }
            options.saySet = !options.sayList;
        } else if (arg == "--trace-sound") {
            options.traceSound = true;
        } else if (arg == "--lcd") {
            options.lcd = true;
        } else if (arg == "--show") {
            options.show = true;
        } else if (arg == "--realtime") {
            options.realtime = true;
        } else {
            error = "unknown option '" + PrintableText(arg) + "'";
            return false;
        }
    }
    return true;
}
