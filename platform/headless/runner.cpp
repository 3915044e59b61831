#include "runner.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <thread>

#include "interpreter.h"
#include "lcd_text.h"
#include "png_writer.h"
#include "scenario.h"
#include "simulator.h"
#include "trace_writer.h"
#include "wav_writer.h"

namespace {

int64_t SteadyUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The run loop's state: the tick count, the trace and the real-time schedule.
struct Run {
    const RunnerOptions& options;
    std::FILE* trace = nullptr;
    uint64_t tick = 0;
    std::string shownLines;
    std::string line;  // trace line buffer, reused
    int64_t due = 0;   // when the next real-time tick is due, microseconds

    explicit Run(const RunnerOptions& o) : options(o) {}

    void Show() {
        std::string lines = LcdLineText(0) + "|" + LcdLineText(1);
        if (lines == shownLines) return;
        shownLines = lines;
        std::printf("%s [%s] [%s]\n", TickTimeText(tick).c_str(), LcdLineText(0).c_str(),
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
        if (trace) {
            TraceLine(tick, line);
            std::fwrite(line.data(), 1, line.size(), trace);
        }
        if (options.show) Show();
    }

    void Ticks(uint64_t n) {
        for (uint64_t i = 0; i < n; ++i) Tick();
    }
};

}  // namespace

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
    if (options.version) {
        std::printf("drk20vt5p-headless %s\n", SimVersion());
        return 0;
    }

    TheRecording = SoundRecording{};
    TheRecording.keep = !options.wav.empty();
    TheRecording.realtime = options.realtime;
    InstallRecordingSoundService();

    if (options.saySet) {
        SimSay(options.say.data(), static_cast<int>(options.say.size()));
        if (!options.wav.empty() && !WriteWavFile(options.wav, TheRecording.samples)) {
            std::fprintf(stderr, "drk20vt5p-headless: cannot write %s\n", options.wav.c_str());
            return 2;
        }
        return 0;
    }

    // Everything is checked before the first tick and before any output file is written.
    ParseResult script;
    const std::string scriptName = options.script == "-" ? "<stdin>" : options.script;
    if (!options.script.empty()) {
        std::string text;
        if (options.script == "-") {
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
        script = ParseScenario(scriptName, text);
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

    ScenarioPlayer player;
    ScenarioBegin(player, scriptName, std::move(script.steps));
    for (bool playing = true; playing;) {
        const ScenarioAction action = ScenarioNext(player);
        switch (action.kind) {
            case ScenarioAction::Tick:
                run.Tick();
                break;
            case ScenarioAction::Screenshot:
                if (!WritePanelPng(action.step->text[0])) {
                    std::fprintf(stderr, "drk20vt5p-headless: %s:%d: cannot write %s\n",
                                 scriptName.c_str(), action.step->line,
                                 action.step->text[0].c_str());
                    exitCode = 1;
                    playing = false;
                }
                break;
            case ScenarioAction::Failed:
                std::fprintf(stderr, "drk20vt5p-headless: %s", action.message.c_str());
                exitCode = 1;
                playing = false;
                break;
            case ScenarioAction::Done:
                playing = false;
                break;
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
    if (!options.wav.empty() && !WriteWavFile(options.wav, TheRecording.samples)) {
        std::fprintf(stderr, "drk20vt5p-headless: cannot write %s\n", options.wav.c_str());
        if (exitCode == 0) exitCode = 1;
    }
    std::fflush(stdout);
    return exitCode;
}
