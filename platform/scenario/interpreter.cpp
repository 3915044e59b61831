#include "interpreter.h"

#include <cmath>
#include <cstdio>

#include "lcd_text.h"
#include "simulator.h"
#include "voice_texts.h"

namespace {

ScenarioAction Fail(ScenarioPlayer& p, const Step& step, const std::string& message) {
    p.failed = true;
    p.failure =
        ScenarioAction{ScenarioAction::Failed, &step,
                       PrintableText(p.name) + ":" + std::to_string(step.line) + ": " + message};
    return p.failure;
}

std::string When(const ScenarioPlayer& p) {
    return "after tick " + std::to_string(p.tick) + " (" + TickTimeText(p.tick) + ")";
}

bool CellMatches(const std::string& pattern, uint8_t code) {
    return pattern.empty() || LookAlikeText(SimCellText(code)) == pattern;
}

bool LcdMatches(const Step& step) {
    SimTickReport r;
    SimReport(&r);
    for (int i = 0; i < StepCells; ++i)
        if (!CellMatches(step.cells[i], r.cells[i])) return false;
    return true;
}

// The expected and found screens, and a line that marks the cells that differ.
std::string LcdDetail(const Step& step) {
    SimTickReport r;
    SimReport(&r);
    std::string found[2], marks;
    for (int i = 0; i < StepCells; ++i) {
        const std::string cell = SimCellText(r.cells[i]);
        found[i / StepLineCells] += cell;
        if (i == StepLineCells) marks += "   ";
        marks += std::string(Columns(cell), CellMatches(step.cells[i], r.cells[i]) ? ' ' : '^');
    }
    while (!marks.empty() && marks.back() == ' ') marks.pop_back();
    return "  expected: \"" + PrintableText(CyrillicSpelling(step.text[0])) + "\" \"" +
           PrintableText(CyrillicSpelling(step.text[1])) + "\"\n  found:    \"" +
           CyrillicSpelling(found[0]) + "\" \"" + CyrillicSpelling(found[1]) +
           "\"\n  differs:   " + marks + "\n";
}

std::string SaidText(const HeardSound& h) {
    std::string text;
    for (uint8_t n : h.messages) {
        const std::string& t = VoiceMessageText(n);
        if (!text.empty()) text += ' ';
        text += t.empty() ? "<message " + std::to_string(n) + ">" : t;
    }
    return text;
}

// "heard: ..." lines for a failed sound check.
std::string HeardDetail(const HeardSound& h) {
    std::string s =
        "  heard since " +
        (h.sinceLine == 0 ? std::string("the start") : "line " + std::to_string(h.sinceLine)) +
        ": ";
    if (h.samples == 0) return s + "nothing\n";
    s += Plural(h.clicks, "click", "clicks") + ", " +
         Plural(h.tones, "alarm tone burst", "alarm tone bursts") + ", ";
    if (h.messages.empty()) return s + "no speech\n";
    s += "speech \"" + SaidText(h) + "\" (messages";
    for (uint8_t n : h.messages) s += " " + std::to_string(n);
    if (h.messagesMissed != 0) s += " and " + std::to_string(h.messagesMissed) + " more";
    return s + ")\n";
}

void TakeSound(ScenarioPlayer& p) {
    SimSoundReport& r = p.tickSound;
    SimPlayedSound(&r);
    if (r.samples == 0) return;
    p.heard.samples += r.samples;
    p.heard.clicks += r.clicks;
    p.heard.tones += r.tones;
    const uint32_t listed =
        r.messageCount < SimSoundMessagesMax ? r.messageCount : SimSoundMessagesMax;
    p.heard.messages.insert(p.heard.messages.end(), r.messages, r.messages + listed);
    p.heard.messagesMissed += r.messageCount - listed;
}

// Whether a sound check holds; `what` says what it expected.
bool SoundHolds(const Step& step, const HeardSound& h, std::string& what) {
    switch (step.kind) {
        case StepKind::ExpectSaid:
            what = "expected \"" + PrintableText(step.text[0]) + "\"";
            return h.messagesMissed == 0 && SaidMatches(step.text[0], h.messages);
        case StepKind::ExpectTone:
            what = step.on ? "expected the alarm tone" : "expected no alarm tone";
            return (h.tones != 0) == step.on;
        case StepKind::ExpectClicks:
            what = "expected " + std::to_string(step.count) +
                   (step.upTo != step.count ? ".." + std::to_string(step.upTo) : std::string()) +
                   " clicks";
            return h.clicks >= step.count && h.clicks <= step.upTo;
        case StepKind::ExpectSilence:
            what = "expected silence";
            return h.samples == 0;
        default:
            return true;
    }
}

// The step's name as written.
const char* SoundStepName(const Step& step) {
    switch (step.kind) {
        case StepKind::ExpectSaid:
            return "expect said";
        case StepKind::ExpectTone:
            return step.on ? "expect tone" : "expect no tone";
        case StepKind::ExpectClicks:
            return "expect clicks";
        default:
            return "expect silence";
    }
}

std::string Thousandths(uint64_t milli) {
    char text[40];
    std::snprintf(text, sizeof text, "%llu.%03llu", static_cast<unsigned long long>(milli / 1000),
                  static_cast<unsigned long long>(milli % 1000));
    return text;
}

std::string RateRange(const Step& step) {
    return Thousandths(step.count) + ".." + Thousandths(step.upTo);
}

std::string Metres(int32_t mm) {
    char text[32];
    std::snprintf(text, sizeof text, "%d.%03d", mm / 1000, mm % 1000);
    return text;
}

std::string Point(int32_t x, int32_t y) {
    return Metres(x) + " " + Metres(y);
}

std::string RoomText() {
    int32_t size[2];
    SimRoomSize(size);
    return "the room is " + Metres(size[0]) + " x " + Metres(size[1]) + " m";
}

// A step that takes no time: the instrument's input, the check source, the room, expect
// rate. False when it fails (the failure kept in the player).
bool Timeless(ScenarioPlayer& p, const Step& step) {
    if (step.kind != StepKind::ExpectRate) p.given.push_back(step);
    switch (step.kind) {
        case StepKind::ModeDown:
            SimPress(SimMode);
            return true;
        case StepKind::ModeUp:
            SimMouseUp();
            return true;
        case StepKind::Power:
            SimPress(SimPower);
            SimMouseUp();
            return true;
        case StepKind::PowerDown:
            SimPress(SimPower);
            return true;
        case StepKind::Click:
            SimMouseDown(static_cast<int32_t>(step.x), static_cast<int32_t>(step.y));
            SimMouseUp();
            return true;
        case StepKind::Pulses:
            SimCheckSource(static_cast<uint32_t>(step.count));
            return true;
        case StepKind::Source:
            SimHoldSource(step.count);
            return true;
        case StepKind::Room:
            SimRoom(step.pos[0], step.pos[1]);  // its sizes were checked when parsed
            return true;
        case StepKind::Place:
            if (SimPlace(step.name.c_str(), static_cast<SimSourceKind>(step.sourceKind),
                         static_cast<uint32_t>(step.count), step.pos[0], step.pos[1], step.on))
                return true;
            Fail(p, step,
                 "place " + step.name + " failed " + When(p) + ": " +
                     (SimSourceCount() == SimSourcesMax
                          ? "the room holds " + std::to_string(SimSourcesMax) + " sources already"
                          : Point(step.pos[0], step.pos[1]) + " is outside the room (" +
                                RoomText() + ")") +
                     "\n");
            return false;
        case StepKind::Remove:
            if (SimRemove(step.name.c_str())) return true;
            Fail(p, step,
                 "remove failed " + When(p) + ": no source " + step.name + " in the room\n");
            return false;
        case StepKind::Move:
            if (SimMoveDetector(step.pos[0], step.pos[1])) return true;
            Fail(p, step,
                 "move failed " + When(p) + ": " + Point(step.pos[0], step.pos[1]) +
                     " is outside the room (" + RoomText() + ")\n");
            return false;
        case StepKind::Wall:
            if (SimWall(step.pos[0], step.pos[1], step.pos[2], step.pos[3],
                        static_cast<uint32_t>(step.count)))
                return true;
            Fail(p, step,
                 "wall failed " + When(p) + ": " +
                     (SimWallCount() == SimWallsMax
                          ? "the room holds " + std::to_string(SimWallsMax) + " walls already"
                          : "an end is outside the room (" + RoomText() + ")") +
                     "\n");
            return false;
        case StepKind::ExpectRate: {
            const double rate = SimFieldRate();
            if (rate * 1000.0 >= static_cast<double>(step.count) &&
                rate * 1000.0 <= static_cast<double>(step.upTo))
                return true;
            char found[64];
            std::snprintf(found, sizeof found, "%.3f", rate);
            Fail(p, step,
                 "expect rate failed " + When(p) + ": expected " + RateRange(step) +
                     " pulses a second, the mean rate at the detector is " + found + "\n");
            return false;
        }
        default:
            return true;
    }
}

// Runs the `at` steps whose tick has come, in the order they were started. False when one
// fails.
bool RunDue(ScenarioPlayer& p) {
    for (size_t i = 0; i < p.timeline.size();) {
        if (p.timeline[i].first > p.tick) {
            ++i;
            continue;
        }
        const Step* step = p.timeline[i].second;
        p.timeline.erase(p.timeline.begin() + static_cast<std::ptrdiff_t>(i));
        if (!Timeless(p, *step)) return false;
    }
    return true;
}

// Whether a goal's check holds now; its sound checks look at what the last tick played (at
// the goal's own line, before any tick: nothing).
bool GoalHolds(const ScenarioPlayer& p, const Step& step, bool ticked) {
    const SimSoundReport& r = p.tickSound;
    const bool sound = step.kind == StepKind::ExpectSaid || step.kind == StepKind::ExpectTone ||
                       step.kind == StepKind::ExpectClicks || step.kind == StepKind::ExpectSilence;
    if (sound && !ticked) return false;
    switch (step.kind) {
        case StepKind::ExpectLcd:
            return LcdMatches(step);
        case StepKind::ExpectSaid: {
            std::string words;
            for (uint32_t i = 0; i < r.messageCount && i < SimSoundMessagesMax; ++i)
                words += " " + VoiceMessageText(r.messages[i]);
            const std::string heard = " " + SpokenWords(words) + " ";
            return heard.find(" " + SpokenWords(step.text[0]) + " ") != std::string::npos;
        }
        case StepKind::ExpectTone:
            return (r.tones != 0) == step.on;
        case StepKind::ExpectClicks:
            return r.clicks >= step.count && r.clicks <= step.upTo;
        case StepKind::ExpectSilence:
            return r.samples == 0;
        case StepKind::ExpectBacklight: {
            SimTickReport t;
            SimReport(&t);
            return (t.backlight != 0) == step.on;
        }
        case StepKind::ExpectCursor: {
            SimTickReport t;
            SimReport(&t);
            return step.on ? t.cursor == static_cast<int>(step.count) : t.cursor < 0;
        }
        default:
            return false;
    }
}

// Looks at each open goal after a tick (or at its own line): met when its check holds, closed
// when its time is up.
void WatchGoals(ScenarioPlayer& p, bool ticked) {
    for (GoalState& g : p.goals) {
        if (!g.open) continue;
        if (GoalHolds(p, *g.step, ticked)) {
            g.open = false;
            g.met = true;
            g.tick = p.tick;
            g.lcd[0] = LcdLineText(0);
            g.lcd[1] = LcdLineText(1);
        } else if (p.tick - g.from >= g.step->within) {
            g.open = false;
        }
    }
}

}  // namespace

std::vector<GoalState> ScenarioGoals(const ScenarioPlayer& player) {
    std::vector<GoalState> all;
    size_t reached = 0;
    for (const Step& s : player.steps) {
        if (!s.goal) continue;
        if (reached < player.goals.size() && player.goals[reached].step == &s) {
            all.push_back(player.goals[reached++]);
        } else {
            GoalState g;
            g.step = &s;
            g.open = false;
            all.push_back(g);
        }
    }
    return all;
}

bool ScenarioSeed(const std::vector<Step>& steps, uint32_t& seed) {
    for (const Step& s : steps) {
        if (s.kind == StepKind::Seed) {
            seed = static_cast<uint32_t>(s.count);
            return true;
        }
    }
    return false;
}

std::string TickTimeText(uint64_t tick) {
    char text[48];
    std::snprintf(text, sizeof text, "%02llu:%02llu.%llu",
                  static_cast<unsigned long long>(tick / 600),
                  static_cast<unsigned long long>(tick / 10 % 60),
                  static_cast<unsigned long long>(tick % 10));
    return text;
}

uint64_t ScenarioMaxTicks(const std::vector<Step>& steps) {
    uint64_t ticks = 0;
    for (const Step& s : steps) {
        if (s.kind == StepKind::Tick || s.kind == StepKind::PressMode ||
            s.kind == StepKind::WaitUntilLcd)
            ticks += s.count;
    }
    return ticks;
}

void ScenarioBegin(ScenarioPlayer& player, std::string name, std::vector<Step> steps) {
    player = ScenarioPlayer{};
    player.name = std::move(name);
    player.steps = std::move(steps);
}

namespace {

// An input the player gives the instrument now, noted as the step that gives it alone.
void Give(ScenarioPlayer& p, StepKind kind, const Step* from = nullptr) {
    Step given = from != nullptr ? *from : Step{};
    given.kind = kind;
    p.given.push_back(std::move(given));
}

// The checks of the display, backlight and cursor, and of the sound since the last one.
// True when the check holds.
bool CheckHolds(ScenarioPlayer& p, const Step& step, ScenarioAction& failure) {
    switch (step.kind) {
        case StepKind::ExpectLcd:
            if (LcdMatches(step)) return true;
            failure = Fail(p, step, "expect lcd failed " + When(p) + "\n" + LcdDetail(step));
            return false;
        case StepKind::ExpectSaid:
        case StepKind::ExpectTone:
        case StepKind::ExpectClicks:
        case StepKind::ExpectSilence: {
            std::string what;
            if (!SoundHolds(step, p.heard, what)) {
                failure = Fail(p, step,
                               std::string(SoundStepName(step)) + " failed " + When(p) + ": " +
                                   what + "\n" + HeardDetail(p.heard));
                return false;
            }
            p.heard = HeardSound{};
            p.heard.sinceLine = step.line;
            return true;
        }
        case StepKind::ExpectBacklight: {
            SimTickReport r;
            SimReport(&r);
            if ((r.backlight != 0) == step.on) return true;
            failure = Fail(p, step,
                           std::string("expect backlight failed ") + When(p) + ": expected " +
                               (step.on ? "on" : "off") + ", found " +
                               (r.backlight != 0 ? "on" : "off") + "\n");
            return false;
        }
        case StepKind::ExpectCursor: {
            SimTickReport r;
            SimReport(&r);
            if (step.on ? r.cursor == static_cast<int>(step.count) : r.cursor < 0) return true;
            failure =
                Fail(p, step,
                     "expect cursor failed " + When(p) + ": expected " +
                         (step.on ? "cell " + std::to_string(step.count) : std::string("off")) +
                         ", found " +
                         (r.cursor < 0 ? std::string("off") : "cell " + std::to_string(r.cursor)) +
                         "\n");
            return false;
        }
        default:
            return true;
    }
}

// Starts `step`: gives its inputs, sets the ticks it runs, checks what it checks. False
// when the caller must be told (`action`: a screenshot or a failure).
bool StartStep(ScenarioPlayer& p, const Step& step, ScenarioAction& action) {
    switch (step.kind) {
        case StepKind::Pass:
            p.passSet = true;
            p.passMark = step.count;
            p.given.push_back(step);  // a drill's own step: a recording keeps it
            return true;
        case StepKind::Seed:
            p.given.push_back(step);  // the front end seeds the detector before it starts
            return true;
        case StepKind::Tick:
            p.ticksLeft = step.count;
            return true;
        case StepKind::PressMode:
            SimPress(SimMode);
            Give(p, StepKind::ModeDown);
            p.ticksLeft = step.count;
            p.releaseMode = true;
            return true;
        case StepKind::ModeDown:
        case StepKind::ModeUp:
        case StepKind::Power:
        case StepKind::PowerDown:
        case StepKind::Click:
        case StepKind::Pulses:
        case StepKind::Source:
        case StepKind::Room:
        case StepKind::Place:
        case StepKind::Remove:
        case StepKind::Move:
        case StepKind::Wall:
        case StepKind::ExpectRate:
            if (Timeless(p, step)) return true;
            action = p.failure;
            return false;
        case StepKind::At:
            if (step.count < p.tick) {
                action = Fail(p, step,
                              "at " + step.duration + ": that time has passed, " + When(p) + "\n");
                return false;
            }
            p.timeline.emplace_back(step.count, &step.inner[0]);
            if (RunDue(p)) return true;
            action = p.failure;
            return false;
        case StepKind::Screenshot:
            action = ScenarioAction{ScenarioAction::Screenshot, &step, {}};
            return false;
        case StepKind::WaitUntilLcd:
            if (LcdMatches(step)) return true;
            if (step.count == 0) {
                action = Fail(p, step,
                              "wait until lcd failed: not shown within " + step.duration + ", " +
                                  When(p) + "\n" + LcdDetail(step));
                return false;
            }
            p.ticksLeft = step.count;
            return true;
        default:
            return CheckHolds(p, step, action);
    }
}

}  // namespace

ScenarioAction ScenarioNext(ScenarioPlayer& p) {
    if (p.failed) return p.failure;
    p.given.clear();
    if (p.tickOut) {
        p.tickOut = false;
        ++p.tick;
        --p.ticksLeft;
        TakeSound(p);
        // A press whose ticks have run is released before what is due at this tick.
        if (p.ticksLeft == 0 && p.releaseMode) {
            p.releaseMode = false;
            SimMouseUp();
            Give(p, StepKind::ModeUp);
        }
        if (!RunDue(p)) return p.failure;
        WatchGoals(p, true);
        if (p.current->kind == StepKind::WaitUntilLcd) {
            if (LcdMatches(*p.current)) {
                p.ticksLeft = 0;
            } else if (p.ticksLeft == 0) {
                return Fail(p, *p.current,
                            "wait until lcd failed: not shown within " + p.current->duration +
                                ", " + When(p) + "\n" + LcdDetail(*p.current));
            }
        }
    }
    for (;;) {
        if (p.ticksLeft != 0) {
            p.tickOut = true;
            return ScenarioAction{ScenarioAction::Tick, p.current, {}};
        }
        if (p.releaseMode) {
            p.releaseMode = false;
            SimMouseUp();
            Give(p, StepKind::ModeUp);
        }
        if (p.next == p.steps.size()) {
            if (!p.timeline.empty()) {
                const Step& late = *p.timeline.front().second;
                return Fail(p, late,
                            "at: the script ended " + When(p) + ", before the time of \"" +
                                FormatStep(late) + "\"\n");
            }
            return ScenarioAction{ScenarioAction::Done, nullptr, {}};
        }
        const Step& step = p.steps[p.next++];
        p.current = &step;
        if (step.goal) {
            GoalState g;
            g.step = &step;
            g.from = p.tick;
            p.goals.push_back(g);
            p.given.push_back(step);  // a drill's goal, recorded at its tick
            WatchGoals(p, false);
            continue;
        }
        ScenarioAction action{ScenarioAction::Done, nullptr, {}};
        if (!StartStep(p, step, action)) return action;
    }
}
