#include "session.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "drill.h"
#include "lcd_text.h"
#include "output_file.h"
#include "panel_png.h"
#include "scenario.h"
#include "script_reader.h"
#include "simulator.h"

namespace {

OutputFile Recording;        // complete or absent: put in place by EndRecording
bool RecordingOpen = false;  // a recording was begun and is not yet ended
uint64_t TicksRun = 0;       // ticks since the start
uint64_t TicksPending = 0;   // ticks not yet written
bool WriteFailed = false;    // a recording or screenshot could not be written
bool RecordingOnStdout = false;

// Appends a line to the recording; the first failure is said at once.
void RecordLine(const std::string& line) {
    if (!RecordingOpen || !Recording.error.empty()) return;
    errno = 0;
    if (WriteOutput(Recording, line.data(), line.size()) && std::fflush(Recording.file) == 0)
        return;
    if (Recording.error.empty())
        Recording.error = Recording.path + ": write failed: " + std::strerror(errno);
    WriteFailed = true;
    std::fprintf(stderr, "drk20vt5p: %s; the recording is lost\n", Recording.error.c_str());
}

}  // namespace

bool BeginRecording(const std::string& path) {
    std::string error;
    if (!CheckOutputPath(path, error) || !OpenOutput(Recording, path)) {
        if (error.empty()) error = Recording.error;
        std::fprintf(stderr, "drk20vt5p: --record %s\n", PrintableText(error).c_str());
        return false;
    }
    RecordingOpen = true;
    // The summary at the end goes where the recording does not.
    RecordingOnStdout = path == "-" || FileKey(path) == FileKey("/dev/stdout");
    RecordLine(std::string("# A session recorded by drk20vt5p ") + SimVersion() +
               ". Replay it with\n"
               "#   drk20vt5p-headless --script FILE\n"
               "# or in the window with drk20vt5p --script FILE (or --start FILE).\n");
    return true;
}

void RecordStep(const std::string& line) {
    DrillStep(line);
    if (!RecordingOpen) return;
    if (TicksPending != 0) RecordLine("tick " + std::to_string(TicksPending) + "\n");
    TicksPending = 0;
    RecordLine(line + "\n");
}

void RecordTick() {
    ++TicksRun;
    ++TicksPending;
}

void EndRecording() {
    if (!RecordingOpen) return;
    if (TicksPending != 0) RecordLine("tick " + std::to_string(TicksPending) + "\n");
    TicksPending = 0;
    RecordingOpen = false;
    if (!Recording.error.empty()) {
        DiscardOutput(Recording);
        return;  // said when it failed
    }
    if (!CommitOutput(Recording)) {
        WriteFailed = true;
        std::fprintf(stderr, "drk20vt5p: %s; the recording is lost\n",
                     PrintableText(Recording.error).c_str());
        return;
    }
    std::FILE* to = RecordingOnStdout ? stderr : stdout;
    std::fprintf(to,
                 "drk20vt5p: recorded %llu ticks (%s) to %s; the LCD at the end: \"%s\" \"%s\"\n",
                 static_cast<unsigned long long>(TicksRun), TickTimeText(TicksRun).c_str(),
                 Recording.path.c_str(), ScreenLineText(0).c_str(), ScreenLineText(1).c_str());
    std::fflush(to);
}

bool SessionWriteFailed() {
    return WriteFailed;
}

void FactorySettings() {
    if (RecordingOpen) {
        std::printf(
            "drk20vt5p: no factory settings while recording (a recording cannot replay "
            "them); close the window and start again instead\n");
        std::fflush(stdout);
        return;
    }
    SimReset();
    SimUseCarriedResources();
    SimStart();
    std::printf("drk20vt5p: factory settings: everything as at the program's start\n");
    std::fflush(stdout);
}

bool LoadScript(const std::string& path, ScenarioPlayer& player) {
    std::string text, error;
    if (!ReadScriptFile(path, PrintableText(path), text, error)) {
        std::fprintf(stderr, "drk20vt5p: %s\n", error.c_str());
        return false;
    }
    ParseResult parsed = ParseScenario(path, text);
    if (!parsed.ok) {
        std::fprintf(stderr, "drk20vt5p: %s\n", parsed.error.c_str());
        return false;
    }
    ScenarioBegin(player, path, std::move(parsed.steps));
    return true;
}

ScenarioAction PlayScript(ScenarioPlayer& player) {
    for (;;) {
        const size_t first = player.next;
        const ScenarioAction action = ScenarioNext(player);
        // Waits run ticks, which are recorded as they run; checks give nothing.
        for (const Step& given : player.given) RecordStep(FormatStep(given));
        for (size_t i = first; i < player.next; ++i) {
            const Step& step = player.steps[i];
            const bool failedHere = action.kind == ScenarioAction::Failed && action.step == &step;
            if (step.kind == StepKind::ExpectLcd && !step.goal && !failedHere) {
                std::printf("drk20vt5p: %s:%d: expect lcd held (after tick %llu)\n",
                            player.name.c_str(), step.line,
                            static_cast<unsigned long long>(player.tick));
            }
        }
        std::fflush(stdout);
        switch (action.kind) {
            case ScenarioAction::Screenshot:
                if (std::string error; !WritePanelPng(action.step->text[0], error)) {
                    WriteFailed = true;
                    std::fprintf(stderr, "drk20vt5p: %s:%d: screenshot %s; not written\n",
                                 PrintableText(player.name).c_str(), action.step->line,
                                 PrintableText(error).c_str());
                }
                continue;
            case ScenarioAction::Failed:
                std::fprintf(stderr, "drk20vt5p: %s", action.message.c_str());
                return action;
            case ScenarioAction::Tick:
            case ScenarioAction::Done:
                return action;
        }
    }
}
