#include "interpreter.h"

#include <cmath>
#include <cstdio>

#include "lcd_text.h"
#include "simulator.h"
#include "voice_texts.h"

namespace {

constexpr double TickSeconds = 0.1;
constexpr uint32_t SourceSeedBase = 0x5EED5EEDu;  // the source's generator, apart from --seed

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

// Code points in a cell's text: the columns it takes in a terminal.
size_t Columns(const std::string& text) {
    size_t n = 0;
    for (char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
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

std::string Plural(uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
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

double SourceInterval(ScenarioPlayer& p) {
    const double u = (static_cast<double>(p.sourceGenerator()) + 1.0) / 4294967296.0;  // (0, 1]
    return -std::log(u) * 1000.0 / static_cast<double>(p.sourceMilli);
}

// The pulses of the `source` in the coming tick, handed to the check-source input.
void SourcePulses(ScenarioPlayer& p) {
    if (p.sourceMilli == 0) return;
    uint32_t pulses = 0;
    while (p.sourceNext < TickSeconds) {
        ++pulses;
        p.sourceNext += SourceInterval(p);
    }
    p.sourceNext -= TickSeconds;
    if (pulses != 0) SimCheckSource(pulses);
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

void ScenarioBegin(ScenarioPlayer& player, std::string name, std::vector<Step> steps,
                   uint32_t seed) {
    player = ScenarioPlayer{};
    player.name = std::move(name);
    player.steps = std::move(steps);
    player.sourceGenerator.seed(SourceSeedBase ^ seed);
}

ScenarioAction ScenarioNext(ScenarioPlayer& p) {
    if (p.failed) return p.failure;
    if (p.tickOut) {
        p.tickOut = false;
        ++p.tick;
        --p.ticksLeft;
        TakeSound(p);
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
            SourcePulses(p);
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
        if (step.goal) {
            GoalState g;
            g.step = &step;
            g.from = p.tick;
            p.goals.push_back(g);
            WatchGoals(p, false);
            continue;
        }
        switch (step.kind) {
            case StepKind::Pass:
                p.passSet = true;
                p.passMark = step.count;
                break;
            case StepKind::Seed:
                break;  // the front end seeds the detector before it starts the instrument
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
            case StepKind::PowerDown:
                SimPress(SimPower);
                break;
            case StepKind::Click:
                SimMouseDown(static_cast<int32_t>(step.x), static_cast<int32_t>(step.y));
                SimMouseUp();
                break;
            case StepKind::Pulses:
                SimCheckSource(static_cast<uint32_t>(step.count));
                break;
            case StepKind::Source:
                p.sourceMilli = step.count;
                if (p.sourceMilli != 0) p.sourceNext = SourceInterval(p);
                break;
            case StepKind::Screenshot:
                return ScenarioAction{ScenarioAction::Screenshot, &step, {}};
            case StepKind::ExpectLcd:
                if (!LcdMatches(step))
                    return Fail(p, step, "expect lcd failed " + When(p) + "\n" + LcdDetail(step));
                break;
            case StepKind::WaitUntilLcd:
                if (!LcdMatches(step)) {
                    if (step.count == 0) {
                        return Fail(p, step,
                                    "wait until lcd failed: not shown within " + step.duration +
                                        ", " + When(p) + "\n" + LcdDetail(step));
                    }
                    p.ticksLeft = step.count;
                }
                break;
            case StepKind::ExpectSaid:
            case StepKind::ExpectTone:
            case StepKind::ExpectClicks:
            case StepKind::ExpectSilence: {
                std::string what;
                if (!SoundHolds(step, p.heard, what)) {
                    return Fail(p, step,
                                std::string(SoundStepName(step)) + " failed " + When(p) + ": " +
                                    what + "\n" + HeardDetail(p.heard));
                }
                p.heard = HeardSound{};
                p.heard.sinceLine = step.line;
                break;
            }
            case StepKind::ExpectBacklight: {
                SimTickReport r;
                SimReport(&r);
                if ((r.backlight != 0) != step.on) {
                    return Fail(p, step,
                                std::string("expect backlight failed ") + When(p) + ": expected " +
                                    (step.on ? "on" : "off") + ", found " +
                                    (r.backlight != 0 ? "on" : "off") + "\n");
                }
                break;
            }
            case StepKind::ExpectCursor: {
                SimTickReport r;
                SimReport(&r);
                const bool holds =
                    step.on ? r.cursor == static_cast<int>(step.count) : r.cursor < 0;
                if (!holds) {
                    return Fail(
                        p, step,
                        "expect cursor failed " + When(p) + ": expected " +
                            (step.on ? "cell " + std::to_string(step.count) : std::string("off")) +
                            ", found " +
                            (r.cursor < 0 ? std::string("off")
                                          : "cell " + std::to_string(r.cursor)) +
                            "\n");
                }
                break;
            }
        }
    }
}
