#include "runner.h"

#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <thread>

#include "interpreter.h"
#include "junit_writer.h"
#include "lcd_text.h"
#include "output_file.h"
#include "panel_png.h"
#include "review.h"
#include "scenario.h"
#include "script_reader.h"
#include "simulator.h"
#include "stop_signals.h"
#include "trace_writer.h"
#include "voice_texts.h"
#include "wav_writer.h"

namespace {

constexpr int64_t SampleUs = 125;        // one 8000 Hz sample
constexpr int64_t SleepSliceUs = 20000;  // a stop request is seen within this while waiting

void Message(const char* format, ...) {
    std::fflush(stdout);
    std::fputs("drk20vt5p-headless: ", stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
}

int64_t SteadyUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Sleeps until `until` (steady microseconds) or a stop request.
void SleepUntil(int64_t until) {
    for (int64_t now = SteadyUs(); now < until && StopSignal == 0; now = SteadyUs()) {
        const int64_t slice = until - now < SleepSliceUs ? until - now : SleepSliceUs;
        std::this_thread::sleep_for(std::chrono::microseconds(slice));
    }
}

struct Script {
    std::string path;  // as given, "-" standard input
    std::string name;  // in messages
    std::vector<Step> steps;
    std::string error;  // a script that cannot be read or parsed (a JUnit error case)
    int errorLine = 0;
};

// The line of a script error "NAME:LINE: ...", 0 when it has none.
int ErrorLine(const std::string& name, const std::string& error) {
    const std::string prefix = PrintableText(name) + ":";
    if (error.compare(0, prefix.size(), prefix) != 0) return 0;
    return std::atoi(error.c_str() + prefix.size());
}

// A file name for an attachment of the script: its number in the run and its base name,
// letters, digits and . - _ kept.
std::string AttachmentName(size_t index, const std::string& path, const char* extension) {
    std::string base = path.substr(path.find_last_of("/\\") + 1);
    if (base.empty() || base == "-") base = "stdin";
    for (char& c : base) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        if (!keep) c = '_';
    }
    if (base.size() > 80) base.resize(80);
    return std::to_string(index + 1) + "-" + base + extension;
}

// One output of the run, for the checks before the first tick.
struct NamedOutput {
    std::string what;  // "--trace", "the screenshot on line 12 of x.scn", ...
    std::string path;
};

// The run loop's state: the tick count, the outputs written every tick and the real-time
// schedule.
struct Run {
    const RunnerOptions& options;
    OutputFile* trace = nullptr;
    WavTimeline* wav = nullptr;
    ReviewSession* review = nullptr;     // the script's review, when one is written
    WavTimeline* attachedWav = nullptr;  // --junit-attachments: the script's sound so far
    uint64_t tick = 0;
    std::string shownLines;
    std::string line;  // trace line buffer, reused
    int64_t due = 0;   // when the next real-time tick is due, microseconds
    std::string writeError;

    explicit Run(const RunnerOptions& o) : options(o) {}

    void Show() {
        std::string lines = LcdLineText(0) + "|" + LcdLineText(1);
        if (lines == shownLines) return;
        shownLines = lines;
        std::printf("%s [%s] [%s]\n", TickTimeText(tick).c_str(), ScreenLineText(0).c_str(),
                    ScreenLineText(1).c_str());
        std::fflush(stdout);
    }

    // One host tick with its outputs. False when the run must stop instead: a stop signal
    // came before the tick, or an output could not be written.
    bool Tick() {
        if (options.realtime) SleepUntil(due);
        if (StopSignal != 0) return false;
        ClearTickSound();
        SimTick();
        ++tick;
        if (options.realtime) {
            // The sound holds the tick for its length, as the window's sound service does.
            SleepUntil(SteadyUs() + static_cast<int64_t>(TickSound.size()) * SampleUs);
            due = SimNextTickDue(due, SteadyUs());
        }
        // No picture is shown here: the panel image is composed only when a screenshot is
        // written (WritePanelPng redraws first), which keeps a fast-forward run fast.
        if (trace) {
            TraceLine(tick, options.traceSound, line);
            if (!WriteOutput(*trace, line.data(), line.size())) writeError = trace->error;
        }
        if (wav && !AddWavTick(*wav, TickSound)) writeError = wav->error;
        if (review) ReviewTick(*review);
        if (attachedWav) AddWavTick(*attachedWav, TickSound);  // its error is kept in it
        if (options.show) Show();
        return writeError.empty();
    }
};

enum class Outcome { Passed, Failed, WriteFailed, Interrupted };

// The inputs among steps [from, to), which the player has just performed, for the review.
void ReviewInputs(ReviewSession& review, const std::vector<Step>& steps, size_t from, size_t to) {
    for (size_t i = from; i < to && i < steps.size(); ++i) {
        switch (steps[i].kind) {
            case StepKind::ModeDown:
            case StepKind::ModeUp:
            case StepKind::PressMode:
            case StepKind::Power:
            case StepKind::PowerDown:
            case StepKind::Click:
                ReviewPress(review, FormatStep(steps[i]));
                break;
            default:
                break;
        }
    }
}

// Plays one script on the instrument as it stands; `failure` gets the message of a failed
// expect and `line` its step's line.
Outcome PlayScript(Run& run, Script& script, std::string& failure, int& line,
                   ScenarioPlayer& player) {
    ScenarioBegin(player, script.name, std::move(script.steps));
    for (;;) {
        const size_t from = player.next;
        const ScenarioAction action = ScenarioNext(player);
        if (run.review) ReviewInputs(*run.review, player.steps, from, player.next);
        switch (action.kind) {
            case ScenarioAction::Tick:
                if (!run.Tick()) {
                    return run.writeError.empty() ? Outcome::Interrupted : Outcome::WriteFailed;
                }
                break;
            case ScenarioAction::Screenshot:
                if (!WritePanelPng(action.step->text[0], run.writeError)) {
                    run.writeError = PrintableText(script.name) + ":" +
                                     std::to_string(action.step->line) + ": " + run.writeError;
                    return Outcome::WriteFailed;
                }
                break;
            case ScenarioAction::Failed:
                failure = action.message;
                line = action.step ? action.step->line : 0;
                return Outcome::Failed;
            case ScenarioAction::Done:
                return Outcome::Passed;
        }
    }
}

// The end of a run that printed only to standard output: exit 4 with the reason when a
// write to it failed.
int StandardOutputDone() {
    std::string error;
    if (FlushStandardOutput(error)) return ExitOk;
    Message("%s", error.c_str());
    return ExitWriteFailed;
}

// Before the first tick: a stop signal ends the program with nothing written.
int StoppedBeforeRun() {
    Message("stopped by %s before the first tick; nothing written", StopSignalName(StopSignal));
    return ExitSignalBase + StopSignal;
}

// --say: the messages as one sound, without starting the instrument.
int Say(const RunnerOptions& options) {
    if (options.sayList) {
        for (int n = 0; n < VoiceTextCount; ++n)
            std::printf("%d\t%s\n", n, VoiceMessageText(static_cast<uint8_t>(n)).c_str());
        return StandardOutputDone();
    }
    std::string error;
    if (!CheckOutputPath(options.wav, error)) {
        Message("--wav %s", error.c_str());
        return ExitUsage;
    }
    ClearTickSound();
    if (!SimSay(options.say.data(), static_cast<int>(options.say.size()))) {
        Message("--say: the messages do not fit the sound buffer (540 s); nothing written");
        return ExitUsage;
    }
    if (!WriteWavFile(options.wav, TickSound, error)) {
        Message("%s", error.c_str());
        return ExitWriteFailed;
    }
    return ExitOk;
}

// The combinations of options that would leave something unsaid: each is refused.
bool OptionsAgree(const RunnerOptions& o, std::string& error) {
    const bool runOptions = !o.scripts.empty() || !o.trace.empty() || !o.screenshot.empty() ||
                            !o.junit.empty() || !o.review.empty() || !o.report.empty() ||
                            o.ticks != 0 || o.show || o.lcd || o.traceSound || o.seedSet;
    if (o.sayList && (runOptions || !o.wav.empty() || o.realtime)) {
        error = "--say list prints the messages and takes no other option";
    } else if (o.saySet && runOptions) {
        error =
            "--say plays messages without starting the instrument: it takes only --wav "
            "(and --realtime), not --script, --ticks, --trace, --screenshot, --junit, "
            "--show, --lcd or --seed";
    } else if (o.saySet && o.wav.empty()) {
        error = "--say needs --wav FILE to write the sound to";
    } else if (o.junit == "-" && (o.trace == "-" || o.lcd || o.show)) {
        error =
            "--junit - takes standard output for the report alone: not with --trace -, "
            "--lcd or --show";
    } else if (!o.junitAttachments.empty() && o.junit.empty()) {
        error = "--junit-attachments needs --junit FILE";
    } else if (o.traceSound && o.trace.empty()) {
        error = "--trace-sound needs --trace FILE";
    } else if (o.scripts.size() > 1 &&
               (!o.trace.empty() || !o.wav.empty() || !o.screenshot.empty())) {
        error =
            "with several --script, each runs on its own instrument: --trace, --wav and "
            "--screenshot would mix them; run the scripts one at a time for those";
    } else {
        return true;
    }
    return false;
}

}  // namespace

int RunnerMain(int argc, const char* const* argv) {
    RunnerOptions options;
    std::string error;
    if (!ParseRunnerOptions(argc, argv, options, error)) {
        Message("%s", error.c_str());
        std::fputs(RunnerUsage().c_str(), stderr);
        return ExitUsage;
    }
    if (options.help) {
        std::fputs(RunnerUsage().c_str(), stdout);
        return StandardOutputDone();
    }
    if (options.version) {
        std::printf("drk20vt5p-headless %s\n", SimVersion());
        return StandardOutputDone();
    }
    if (!OptionsAgree(options, error)) {
        Message("%s", error.c_str());
        return ExitUsage;
    }
    InstallStopSignals();
    SimUseCarriedResources();
    InstallRecordingSoundService();
    if (options.saySet || options.sayList) return Say(options);

    // Everything is checked before the first tick and before any output file is written.
    std::vector<Script> scripts;
    for (const std::string& path : options.scripts) {
        Script script{path, path == "-" ? "<stdin>" : path, {}, {}, 0};
        for (const Script& s : scripts) {
            if (path == "-" && s.path == "-") {
                Message("standard input can be only one --script");
                return ExitUsage;
            }
        }
        // With --junit a script that cannot be read or parsed is an error case of the report
        // and the others run; without, nothing runs.
        std::string text;
        if (!ReadScriptFile(path, PrintableText(script.name), text, error)) {
            if (StopSignal != 0) return StoppedBeforeRun();
            script.error = error;
            script.errorLine = ErrorLine(script.name, error);
        } else {
            ParseResult parsed = ParseScenario(script.name, text);
            if (parsed.ok) {
                script.steps = std::move(parsed.steps);
            } else {
                script.error = parsed.error;
                script.errorLine = ErrorLine(script.name, parsed.error);
            }
        }
        if (!script.error.empty()) {
            Message("%s", script.error.c_str());
            if (options.junit.empty()) return ExitUsage;
        }
        scripts.push_back(std::move(script));
    }
    for (const Script& s : scripts) {
        uint32_t seed;
        if (options.seedSet && ScenarioSeed(s.steps, seed)) {
            Message("%s sets its own seed: --seed would override it; give one or the other",
                    PrintableText(s.name).c_str());
            return ExitUsage;
        }
    }
    int scriptErrors = 0;
    for (const Script& s : scripts) scriptErrors += !s.error.empty();
    if (scripts.empty()) scripts.push_back(Script{"", "run", {}, {}, 0});
    // --ticks: after each script, with its `source` still in place.
    for (Script& s : scripts) {
        if (options.ticks != 0) {
            Step more{};
            more.kind = StepKind::Tick;
            more.count = options.ticks;
            s.steps.push_back(more);
        }
    }

    // Outputs: each on a file of its own, none on a script, each one writable.
    std::vector<NamedOutput> outputs;
    if (!options.trace.empty() && options.trace != "-")
        outputs.push_back({"--trace", options.trace});
    if (!options.wav.empty()) outputs.push_back({"--wav", options.wav});
    if (!options.screenshot.empty()) outputs.push_back({"--screenshot", options.screenshot});
    if (!options.junit.empty()) outputs.push_back({"--junit", options.junit});
    if (!options.review.empty()) outputs.push_back({"--review", options.review});
    if (!options.report.empty()) outputs.push_back({"--report", options.report});
    if (!options.junitAttachments.empty()) {
        struct stat st;
        if (stat(options.junitAttachments.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            Message("--junit-attachments %s: not a folder",
                    PrintableText(options.junitAttachments).c_str());
            return ExitUsage;
        }
        for (size_t k = 0; k < scripts.size(); ++k) {
            for (const char* extension : {".png", ".wav"}) {
                outputs.push_back(
                    {"--junit-attachments", options.junitAttachments + "/" +
                                                AttachmentName(k, scripts[k].path, extension)});
            }
        }
    }
    for (const Script& s : scripts) {
        for (const Step& step : s.steps) {
            if (step.kind == StepKind::Screenshot) {
                outputs.push_back(
                    {PrintableText(s.name) + ":" + std::to_string(step.line) + ": screenshot",
                     step.text[0]});
            }
        }
    }
    if ((options.trace == "-") + (options.junit == "-") + (options.review == "-") +
            (options.report == "-") >
        1) {
        Message("only one of --trace, --junit, --review and --report can be standard output");
        return ExitUsage;
    }
    std::map<std::string, std::string> taken;  // file key -> what uses it
    for (const Script& s : scripts)
        if (!s.path.empty() && s.path != "-") taken[FileKey(s.path)] = "--script " + s.path;
    for (const NamedOutput& o : outputs) {
        if (o.path == "-") continue;
        const std::string key = FileKey(o.path);
        const auto it = taken.find(key);
        if (it != taken.end()) {
            Message("%s %s: the same file as %s; refused, nothing written", o.what.c_str(),
                    PrintableText(o.path).c_str(), PrintableText(it->second).c_str());
            return ExitUsage;
        }
        taken[key] = o.what + " " + o.path;
    }
    if (!options.wav.empty() &&
        ScenarioMaxTicks(scripts[0].steps) > WavMaxSamples / WavTickSamples) {
        Message("--wav: the run is longer than one WAV file holds (4 GiB, 149 hours)");
        return ExitUsage;
    }
    for (const NamedOutput& o : outputs) {
        if (!CheckOutputPath(o.path, error)) {
            Message("%s %s", o.what.c_str(), PrintableText(error).c_str());
            return ExitUsage;
        }
    }
    const JunitRun junitRun{SimVersion(), options.seedSet, options.seed};
    if (scriptErrors == static_cast<int>(scripts.size())) {
        // Nothing to run: the report alone, with its error cases.
        std::vector<JunitCase> cases;
        for (const Script& s : scripts) {
            JunitCase c{s.name,
                        s.path,
                        s.errorLine,
                        0,
                        0,
                        JunitCase::Error,
                        s.error.substr(0, s.error.find('\n')),
                        s.error,
                        {}};
            cases.push_back(c);
        }
        const std::string xml = JunitReport(junitRun, cases);
        if (!WriteWholeOutput(options.junit, xml.data(), xml.size(), error)) {
            Message("%s; not written", PrintableText(error).c_str());
            return ExitWriteFailed;
        }
        return ExitUsage;
    }
    OutputFile trace;
    WavTimeline wav;
    if (!options.trace.empty() && !OpenOutput(trace, options.trace)) {
        if (StopSignal != 0) return StoppedBeforeRun();
        Message("--trace %s", PrintableText(trace.error).c_str());
        return ExitUsage;
    }
    if (!options.wav.empty() && !BeginWav(wav, options.wav)) {
        DiscardOutput(trace);
        if (StopSignal != 0) return StoppedBeforeRun();
        Message("--wav %s", PrintableText(wav.error).c_str());
        return ExitUsage;
    }
    if (StopSignal != 0) {
        DiscardOutput(trace);
        DiscardWav(wav);
        return StoppedBeforeRun();
    }

    Run run(options);
    if (!options.trace.empty()) run.trace = &trace;
    if (!options.wav.empty()) run.wav = &wav;

    std::vector<JunitCase> cases;
    const bool reviewed = !options.review.empty() || !options.report.empty();
    std::vector<ReviewSession> reviews(reviewed ? scripts.size() : 0);
    std::vector<std::string> attachmentErrors;
    int exitCode = scriptErrors != 0 ? ExitUsage : ExitOk;
    int stoppedBy = 0;
    for (size_t k = 0; k < scripts.size(); ++k) {
        Script& script = scripts[k];
        JunitCase report{script.name, script.path, 0, 0, 0, JunitCase::Passed, {}, {}, {}};
        if (!script.error.empty()) {
            report.result = JunitCase::Error;
            report.line = script.errorLine;
            report.message = script.error.substr(0, script.error.find('\n'));
            report.detail = script.error;
            cases.push_back(report);
            continue;
        }
        if (stoppedBy != 0 || !run.writeError.empty()) {
            report.result = JunitCase::Skipped;
            report.message = stoppedBy != 0
                                 ? std::string("not run: stopped by ") + StopSignalName(stoppedBy)
                                 : "not run: an output could not be written";
            cases.push_back(report);
            continue;
        }
        if (k != 0) SimReset();
        uint32_t seed = options.seed;
        const bool seeded = ScenarioSeed(script.steps, seed) || options.seedSet;
        if (seeded) SimSeed(seed);
        if (reviewed) {
            ReviewBegin(reviews[k], script.name, seeded, seed);
            run.review = &reviews[k];
        }
        run.tick = 0;
        run.shownLines.clear();
        run.due = SteadyUs() + SimTickPeriodUs;
        if (scripts.size() > 1 && (options.show || options.lcd))
            std::printf("== %s\n", script.name.c_str());
        const int64_t started = SteadyUs();
        WavTimeline attachedWav;
        std::string attachedPng, attachedWavPath;
        if (!options.junitAttachments.empty()) {
            attachedPng = options.junitAttachments + "/" + AttachmentName(k, script.path, ".png");
            attachedWavPath =
                options.junitAttachments + "/" + AttachmentName(k, script.path, ".wav");
            if (BeginWav(attachedWav, attachedWavPath)) run.attachedWav = &attachedWav;
        }
        SimStart();
        std::string failure;
        ScenarioPlayer player;
        const Outcome outcome = PlayScript(run, script, failure, report.line, player);
        report.seconds = static_cast<double>(SteadyUs() - started) / 1e6;
        report.ticks = run.tick;
        if (reviewed) {
            for (const GoalState& g : ScenarioGoals(player)) {
                reviews[k].goals.push_back(ReviewGoal{g.step->line, g.step->points,
                                                      g.step->goalText, g.step->duration, g.met,
                                                      g.tick, g.lcd[0] + "\n" + g.lcd[1]});
            }
            reviews[k].passSet = player.passSet;
            reviews[k].passMark = player.passMark;
            ReviewEnd(reviews[k]);
        }
        run.attachedWav = nullptr;
        if (!attachedPng.empty()) {
            // A failed script's panel and sound at the failure; nothing for one that passed.
            if (outcome == Outcome::Failed) {
                if (WritePanelPng(attachedPng, error)) {
                    report.attachments.push_back(attachedPng);
                } else {
                    attachmentErrors.push_back(error);
                }
                if (!attachedWav.error.empty() || !FinishWav(attachedWav)) {
                    attachmentErrors.push_back(attachedWav.error);
                    DiscardWav(attachedWav);
                } else {
                    report.attachments.push_back(attachedWavPath);
                }
            } else {
                DiscardWav(attachedWav);
            }
        }
        if (options.lcd)
            std::printf("%s\n%s\n", ScreenLineText(0).c_str(), ScreenLineText(1).c_str());
        switch (outcome) {
            case Outcome::Passed:
                break;
            case Outcome::Failed:
                std::fflush(stdout);
                std::fprintf(stderr, "drk20vt5p-headless: %s", failure.c_str());
                report.result = JunitCase::Failed;
                report.message = failure.substr(0, failure.find('\n'));
                report.detail = failure;
                if (exitCode == ExitOk) exitCode = ExitExpectFailed;
                break;
            case Outcome::WriteFailed:
                report.result = JunitCase::Error;
                report.message = report.detail = run.writeError;
                break;
            case Outcome::Interrupted:
                stoppedBy = StopSignal;
                report.result = JunitCase::Error;
                report.message = report.detail = std::string("stopped by ") +
                                                 StopSignalName(stoppedBy) + " after tick " +
                                                 std::to_string(run.tick);
                break;
        }
        cases.push_back(report);
    }

    // The outputs: complete, or (the one that failed) not there.
    std::vector<std::string> writeErrors = attachmentErrors;
    if (!run.writeError.empty()) writeErrors.push_back(run.writeError);
    if (!options.screenshot.empty() && !WritePanelPng(options.screenshot, error))
        writeErrors.push_back(error);
    // (An output that failed during the run is in run.writeError already.)
    if (!trace.error.empty()) {
        DiscardOutput(trace);
    } else if (!options.trace.empty() && !CommitOutput(trace)) {
        writeErrors.push_back(trace.error);
    }
    if (!wav.error.empty()) {
        DiscardWav(wav);
    } else if (!options.wav.empty() && !FinishWav(wav)) {
        writeErrors.push_back(wav.error);
    }
    if (!options.junit.empty()) {
        const std::string xml = JunitReport(junitRun, cases);
        if (!WriteWholeOutput(options.junit, xml.data(), xml.size(), error))
            writeErrors.push_back(error);
    }
    for (const auto& [path, text] :
         {std::pair{options.review, reviewed ? ReviewJson(reviews) : std::string()},
          std::pair{options.report, reviewed ? ReviewHtml(reviews) : std::string()}}) {
        if (!path.empty() && !WriteWholeOutput(path, text.data(), text.size(), error))
            writeErrors.push_back(error);
    }
    // (A trace on standard output that failed has said so already.)
    const bool stdoutSaid = options.trace == "-" && !trace.error.empty();
    if (!FlushStandardOutput(error) && !stdoutSaid) writeErrors.push_back(error);
    for (const std::string& e : writeErrors) Message("%s; not written", PrintableText(e).c_str());

    if (stoppedBy != 0) {
        Message("stopped by %s after tick %llu (%s); the outputs hold the run up to there",
                StopSignalName(stoppedBy), static_cast<unsigned long long>(run.tick),
                TickTimeText(run.tick).c_str());
        return ExitSignalBase + stoppedBy;
    }
    if (!writeErrors.empty()) return ExitWriteFailed;
    return exitCode;
}
