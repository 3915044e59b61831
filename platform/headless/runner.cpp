#include "runner.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <thread>

#include "lcd_text.h"
#include "png_writer.h"
#include "scenario.h"
#include "simulator.h"

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
    "  --help             show this help\n"
    "\n"
    "Scenario steps: tick N | wait D(ms|s|min) | mode down | mode up | press mode [N] |\n"
    "  power | click X Y [left|right] | expect lcd \"LINE1\" \"LINE2\" | screenshot FILE |\n"
    "  pulses N\n"
    "Exit codes: 0 ok, 1 an expect failed, 2 usage or script error.\n";

namespace {

constexpr uint64_t MaxTicks = 1000000000ULL;

int64_t SteadyUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

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

// --- The recording sound service ----------------------------------------------------------

struct Recorder {
    bool keep = false;      // keep the samples for --wav
    bool realtime = false;  // hold the caller for the sound's length
    std::vector<uint8_t> samples;
};
Recorder TheRecorder;

constexpr uint32_t WavHeaderBytes = 44;

void RecordingSoundService(const uint8_t* wav, uint32_t bytes) {
    if (bytes < WavHeaderBytes) return;
    const uint32_t count = bytes - WavHeaderBytes;
    if (TheRecorder.keep)
        TheRecorder.samples.insert(TheRecorder.samples.end(), wav + WavHeaderBytes, wav + bytes);
    if (TheRecorder.realtime)
        std::this_thread::sleep_for(std::chrono::microseconds(count * 125ULL));
}

bool WriteWavFile(const std::string& path, const std::vector<uint8_t>& samples) {
    uint8_t h[WavHeaderBytes];
    const uint32_t n = static_cast<uint32_t>(samples.size());
    SimWavHeader(h, n);
    std::ofstream out(path, std::ios::binary);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(h), WavHeaderBytes);
    out.write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(n));
    return static_cast<bool>(out);
}

// --- Running ------------------------------------------------------------------------------

void JsonString(std::string& out, const std::string& s) {
    out.push_back('"');
    for (char c : s) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
}

struct Run {
    const RunnerOptions& options;
    std::FILE* trace = nullptr;
    uint64_t tick = 0;
    std::string shownLines;
    std::string line;  // trace line buffer, reused
    int64_t due = 0;   // when the next real-time tick is due, microseconds

    explicit Run(const RunnerOptions& o) : options(o) {}

    void WriteTrace() {
        SimTickReport report;
        SimReport(&report);
        line.clear();
        line += "{\"tick\":";
        line += std::to_string(tick);
        line += ",\"on\":";
        line += report.on != 0 ? '1' : '0';
        line += ",\"lcd\":[";
        JsonString(line, LcdLineText(0));
        line.push_back(',');
        JsonString(line, LcdLineText(1));
        line += "],\"cells\":[";
        for (int i = 0; i < SimCellCount; ++i) {
            if (i) line.push_back(',');
            line += std::to_string(report.cells[i]);
        }
        line += "],\"cursor\":";
        if (report.cursor >= 0) {
            line += std::to_string(report.cursor);
        } else {
            line += "null";
        }
        line += ",\"backlight\":";
        line += report.backlight != 0 ? '1' : '0';
        line += ",\"pulses\":";
        line += std::to_string(report.pulses);
        line += ",\"played\":";
        line += std::to_string(report.played);
        line += "}\n";
        std::fwrite(line.data(), 1, line.size(), trace);
    }

    void Show() {
        std::string lines = LcdLineText(0) + "|" + LcdLineText(1);
        if (lines == shownLines) return;
        shownLines = lines;
        const uint64_t tenths = tick;
        std::printf("%02llu:%02llu.%llu [%s] [%s]\n", static_cast<unsigned long long>(tenths / 600),
                    static_cast<unsigned long long>(tenths / 10 % 60),
                    static_cast<unsigned long long>(tenths % 10), LcdLineText(0).c_str(),
                    LcdLineText(1).c_str());
        std::fflush(stdout);
    }

    // One host tick with its trace and show.
    void Tick() {
        if (options.realtime) {
            const int64_t now = SteadyUs();
            if (now < due) std::this_thread::sleep_for(std::chrono::microseconds(due - now));
        }
        SimTick();
        ++tick;
        if (options.realtime) due = NextTickDue(due, SteadyUs());
        // No picture is shown here: the panel image is composed only when a screenshot is
        // written (WritePanelPng redraws first), which keeps a fast-forward run fast.
        if (trace) WriteTrace();
        if (options.show) Show();
    }

    void Ticks(uint64_t n) {
        for (uint64_t i = 0; i < n; ++i) Tick();
    }
};

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

int RunnerMain(int argc, const char* const* argv) {
    RunnerOptions options;
    std::string error;
    if (!ParseRunnerOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "drk20vt5p-headless: %s\n%s", error.c_str(), RunnerUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(RunnerUsage, stdout);
        return 0;
    }

    TheRecorder = Recorder{};
    TheRecorder.keep = !options.wav.empty();
    TheRecorder.realtime = options.realtime;
    SimSetSoundService(RecordingSoundService);

    if (options.saySet) {
        SimSay(options.say.data(), static_cast<int>(options.say.size()));
        if (!options.wav.empty() && !WriteWavFile(options.wav, TheRecorder.samples)) {
            std::fprintf(stderr, "drk20vt5p-headless: cannot write %s\n", options.wav.c_str());
            return 2;
        }
        return 0;
    }

    // Everything is checked before the first tick and before any output file is written.
    ParseResult script;
    if (!options.script.empty()) {
        std::string text;
        std::string name = options.script;
        if (options.script == "-") {
            name = "<stdin>";
            text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        } else {
            std::ifstream in(options.script, std::ios::binary);
            if (!in) {
                std::fprintf(stderr, "drk20vt5p-headless: %s:0: cannot read the script file\n",
                             options.script.c_str());
                return 2;
            }
            text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        script = ParseScenario(name, text);
        if (!script.ok) {
            std::fprintf(stderr, "drk20vt5p-headless: %s\n", script.error.c_str());
            return 2;
        }
    }

    Run run(options);
    std::FILE* traceFile = nullptr;
    if (!options.trace.empty()) {
        if (options.trace == "-") {
            run.trace = stdout;
        } else {
            traceFile = std::fopen(options.trace.c_str(), "wb");
            if (!traceFile) {
                std::fprintf(stderr, "drk20vt5p-headless: %s:0: cannot write the trace file\n",
                             options.trace.c_str());
                return 2;
            }
            run.trace = traceFile;
        }
    }

    int exitCode = 0;
    run.due = SteadyUs() + TickPeriodUs;
    SimStart();

    const std::string scriptName = options.script == "-" ? "<stdin>" : options.script;
    for (const Step& step : script.steps) {
        if (exitCode != 0) break;
        switch (step.kind) {
            case StepKind::Tick:
                run.Ticks(step.count);
                break;
            case StepKind::ModeDown:
                SimPress(SimMode);
                break;
            case StepKind::ModeUp:
                SimMouseUp();
                break;
            case StepKind::PressMode:
                SimPress(SimMode);
                run.Ticks(step.count);
                SimMouseUp();
                break;
            case StepKind::Power:
                SimPress(SimPower);
                SimMouseUp();
                break;
            case StepKind::Click:
                SimMouseDown(static_cast<int32_t>(step.x), static_cast<int32_t>(step.y));
                SimMouseUp();
                break;
            case StepKind::Pulses:
                SimCheckSource(static_cast<uint32_t>(step.count));
                break;
            case StepKind::Screenshot:
                if (!WritePanelPng(step.text[0])) {
                    std::fprintf(stderr, "drk20vt5p-headless: %s:%d: cannot write %s\n",
                                 scriptName.c_str(), step.line, step.text[0].c_str());
                    exitCode = 1;
                }
                break;
            case StepKind::ExpectLcd: {
                const std::string found[2] = {LcdLineText(0), LcdLineText(1)};
                if (found[0] != step.text[0] || found[1] != step.text[1]) {
                    std::fprintf(stderr,
                                 "drk20vt5p-headless: %s:%d: expect lcd failed (after tick %llu)\n"
                                 "  expected: \"%s\" \"%s\"\n"
                                 "  found:    \"%s\" \"%s\"\n",
                                 scriptName.c_str(), step.line,
                                 static_cast<unsigned long long>(run.tick), step.text[0].c_str(),
                                 step.text[1].c_str(), found[0].c_str(), found[1].c_str());
                    exitCode = 1;
                }
                break;
            }
        }
    }
    if (exitCode == 0) run.Ticks(options.ticks);

    if (run.trace) std::fflush(run.trace);
    if (traceFile) std::fclose(traceFile);
    if (options.lcd) std::printf("%s\n%s\n", LcdLineText(0).c_str(), LcdLineText(1).c_str());
    if (!options.screenshot.empty() && !WritePanelPng(options.screenshot)) {
        std::fprintf(stderr, "drk20vt5p-headless: cannot write %s\n", options.screenshot.c_str());
        if (exitCode == 0) exitCode = 1;
    }
    if (!options.wav.empty() && !WriteWavFile(options.wav, TheRecorder.samples)) {
        std::fprintf(stderr, "drk20vt5p-headless: cannot write %s\n", options.wav.c_str());
        if (exitCode == 0) exitCode = 1;
    }
    std::fflush(stdout);
    return exitCode;
}
