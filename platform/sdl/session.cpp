#include "session.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "drill.h"
#include "lcd_text.h"
#include "simulator.h"

namespace {

std::FILE* Recording = nullptr;
std::string RecordingPath;
uint64_t TicksRun = 0;      // ticks since the start
uint64_t TicksPending = 0;  // ticks not yet written

bool WritePanelPng(const std::string& path) {
    const uint32_t* frame = SimFrame();
    const int w = SimFrameWidth(), h = SimFrameHeight();
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * static_cast<size_t>(h) * 3);
    for (size_t i = 0; i < rgb.size() / 3; ++i) {
        rgb[3 * i] = static_cast<uint8_t>(frame[i] >> 16);
        rgb[3 * i + 1] = static_cast<uint8_t>(frame[i] >> 8);
        rgb[3 * i + 2] = static_cast<uint8_t>(frame[i]);
    }
    return stbi_write_png(path.c_str(), w, h, 3, rgb.data(), w * 3) != 0;
}

// The steps a script started, as the instrument was given them: a long press is its MODE
// down now and its MODE up when its ticks have run.
void RecordStarted(const Step& step) {
    switch (step.kind) {
        case StepKind::ModeDown:
        case StepKind::ModeUp:
        case StepKind::Power:
        case StepKind::PowerDown:
        case StepKind::Click:
        case StepKind::Pulses:
        case StepKind::Source:  // its pulses come from the script's seeded generator
            RecordStep(FormatStep(step));
            break;
        case StepKind::PressMode:
            RecordStep("mode down");
            if (step.count == 0) RecordStep("mode up");
            break;
        case StepKind::Seed:
        case StepKind::Pass:
            RecordStep(FormatStep(step));
            break;
        default:
            if (step.goal) RecordStep(FormatStep(step));  // a drill's goal, at its tick
            break;  // waits run ticks, which are recorded as they run; checks give nothing
    }
}

}  // namespace

bool BeginRecording(const std::string& path) {
    Recording = std::fopen(path.c_str(), "wb");
    if (!Recording) {
        std::fprintf(stderr, "drk20vt5p: %s: cannot write the recording\n", path.c_str());
        return false;
    }
    RecordingPath = path;
    std::fprintf(Recording,
                 "# A session recorded by drk20vt5p %s. Replay it with\n"
                 "#   drk20vt5p-headless --script FILE\n"
                 "# or in the window with drk20vt5p --script FILE (or --start FILE).\n",
                 SimVersion());
    std::fflush(Recording);
    return true;
}

void RecordStep(const std::string& line) {
    DrillStep(line);
    if (!Recording) return;
    if (TicksPending != 0)
        std::fprintf(Recording, "tick %llu\n", static_cast<unsigned long long>(TicksPending));
    TicksPending = 0;
    std::fprintf(Recording, "%s\n", line.c_str());
    std::fflush(Recording);
}

void RecordTick() {
    ++TicksRun;
    ++TicksPending;
}

void EndRecording() {
    if (!Recording) return;
    if (TicksPending != 0)
        std::fprintf(Recording, "tick %llu\n", static_cast<unsigned long long>(TicksPending));
    TicksPending = 0;
    const bool ok = std::fclose(Recording) == 0;
    Recording = nullptr;
    if (!ok) {
        std::fprintf(stderr, "drk20vt5p: %s: the recording could not be written whole\n",
                     RecordingPath.c_str());
        return;
    }
    std::printf("drk20vt5p: recorded %llu ticks (%s) to %s; the LCD at the end: \"%s\" \"%s\"\n",
                static_cast<unsigned long long>(TicksRun), TickTimeText(TicksRun).c_str(),
                RecordingPath.c_str(), LcdLineText(0).c_str(), LcdLineText(1).c_str());
    std::fflush(stdout);
}

bool LoadScript(const std::string& path, ScenarioPlayer& player) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "drk20vt5p: %s:0: cannot read the script file\n", path.c_str());
        return false;
    }
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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
        // A long press whose ticks have all run is released first thing in this call.
        const bool releaseDue =
            player.releaseMode && player.ticksLeft == (player.tickOut ? 1u : 0u);
        const size_t first = player.next;
        const ScenarioAction action = ScenarioNext(player);
        if (releaseDue) RecordStep("mode up");
        for (size_t i = first; i < player.next; ++i) {
            const Step& step = player.steps[i];
            RecordStarted(step);
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
                if (!WritePanelPng(action.step->text[0])) {
                    std::fprintf(stderr, "drk20vt5p: %s:%d: cannot write %s\n", player.name.c_str(),
                                 action.step->line, action.step->text[0].c_str());
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
