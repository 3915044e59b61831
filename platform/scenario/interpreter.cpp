#include "interpreter.h"

#include <cstdio>

#include "lcd_text.h"
#include "simulator.h"

namespace {

ScenarioAction Fail(ScenarioPlayer& p, const Step& step, const std::string& message) {
    p.failed = true;
    p.failure = ScenarioAction{ScenarioAction::Failed, &step,
                               p.name + ":" + std::to_string(step.line) + ": " + message};
    return p.failure;
}

}  // namespace

std::string TickTimeText(uint64_t tick) {
    char text[48];
    std::snprintf(text, sizeof text, "%02llu:%02llu.%llu",
                  static_cast<unsigned long long>(tick / 600),
                  static_cast<unsigned long long>(tick / 10 % 60),
                  static_cast<unsigned long long>(tick % 10));
    return text;
}

void ScenarioBegin(ScenarioPlayer& player, std::string name, std::vector<Step> steps) {
    player = ScenarioPlayer{};
    player.name = std::move(name);
    player.steps = std::move(steps);
}

ScenarioAction ScenarioNext(ScenarioPlayer& p) {
    if (p.failed) return p.failure;
    if (p.tickOut) {
        p.tickOut = false;
        ++p.tick;
        --p.ticksLeft;
    }
    for (;;) {
        if (p.ticksLeft != 0) {
            p.tickOut = true;
            return ScenarioAction{ScenarioAction::Tick, p.current, {}};
        }
        if (p.releaseMode) {
            p.releaseMode = false;
            SimMouseUp();
        }
        if (p.next == p.steps.size()) return ScenarioAction{ScenarioAction::Done, nullptr, {}};
        const Step& step = p.steps[p.next++];
        p.current = &step;
        switch (step.kind) {
            case StepKind::Tick:
                p.ticksLeft = step.count;
                break;
            case StepKind::ModeDown:
                SimPress(SimMode);
                break;
            case StepKind::ModeUp:
                SimMouseUp();
                break;
            case StepKind::PressMode:
                SimPress(SimMode);
                p.ticksLeft = step.count;
                p.releaseMode = true;
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
                return ScenarioAction{ScenarioAction::Screenshot, &step, {}};
            case StepKind::ExpectLcd: {
                const std::string found[2] = {LcdLineText(0), LcdLineText(1)};
                if (found[0] != step.text[0] || found[1] != step.text[1]) {
                    return Fail(p, step,
                                "expect lcd failed (after tick " + std::to_string(p.tick) +
                                    ")\n  expected: \"" + step.text[0] + "\" \"" + step.text[1] +
                                    "\"\n  found:    \"" + found[0] + "\" \"" + found[1] + "\"\n");
                }
                break;
            }
        }
    }
}
