#include "runner.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "interpreter.h"
#include "junit_writer.h"
#include "lcd_text.h"
#include "output_file.h"
#include "panel_png.h"
#include "review.h"
#include "run_plan.h"
#include "scenario.h"
#include "simulator.h"
#include "stop_signals.h"
#include "trace_writer.h"
#include "voice_texts.h"
#include "wav_writer.h"

namespace {

constexpr int64_t SampleUs = 125;        // one 8000 Hz sample
constexpr int64_t SleepSliceUs = 20000;  // a stop request is seen within this while waiting

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

// What the scripts' runs leave for the end: the report's cases, the exit code so far, the
// attachments that could not be written and the stop signal that ended the run (0 none).
struct RunResults {
    std::vector<JunitCase> cases;
    std::vector<std::string> attachmentErrors;
    std::vector<ReviewSession> reviews;  // one a script, when a review or report is written
    int exitCode = ExitOk;
    int stoppedBy = 0;
};

// --junit-attachments: a failed script's panel and sound at the failure; nothing for one that
// passed.
void WriteAttachments(Outcome outcome, const std::string& png, WavTimeline& wav,
                      const std::string& wavPath, JunitCase& report,
                      std::vector<std::string>& errors) {
    if (outcome != Outcome::Failed) {
        DiscardWav(wav);
        return;
    }
    std::string error;
    if (WritePanelPng(png, error)) {
        report.attachments.push_back(png);
    } else {
        errors.push_back(error);
    }
    if (!wav.error.empty() || !FinishWav(wav)) {
        errors.push_back(wav.error);
        DiscardWav(wav);
    } else {
        report.attachments.push_back(wavPath);
    }
}

// The script's case and the run's exit code from how its play ended.
void RecordOutcome(Outcome outcome, const std::string& failure, const Run& run, JunitCase& report,
                   RunResults& results) {
    switch (outcome) {
        case Outcome::Passed:
            break;
        case Outcome::Failed:
            std::fflush(stdout);
            std::fprintf(stderr, "drk20vt5p-headless: %s", failure.c_str());
            report.result = JunitCase::Failed;
            report.message = failure.substr(0, failure.find('\n'));
            report.detail = failure;
            if (results.exitCode == ExitOk) results.exitCode = ExitExpectFailed;
            break;
        case Outcome::WriteFailed:
            report.result = JunitCase::Error;
            report.message = report.detail = run.writeError;
            break;
        case Outcome::Interrupted:
            results.stoppedBy = StopSignal;
            report.result = JunitCase::Error;
            report.message = report.detail = std::string("stopped by ") +
                                             StopSignalName(results.stoppedBy) + " after tick " +
                                             std::to_string(run.tick);
            break;
    }
}

// The goals the player watched and the pass mark, into the script's review.
void EndReview(ReviewSession& review, const ScenarioPlayer& player) {
    for (const GoalState& g : ScenarioGoals(player)) {
        review.goals.push_back(ReviewGoal{g.step->line, g.step->points, g.step->goalText,
                                          g.step->duration, g.met, g.tick,
                                          g.lcd[0] + "\n" + g.lcd[1]});
    }
    review.passSet = player.passSet;
    review.passMark = player.passMark;
    ReviewEnd(review);
}

// Plays script `k` of `scripts` on the instrument (reset for every script after the first),
// with its attachments; its case.
JunitCase PlayCase(Run& run, std::vector<Script>& scripts, size_t k, RunResults& results) {
    const RunnerOptions& options = run.options;
    Script& script = scripts[k];
    JunitCase report{script.name, script.path, 0, 0, 0, JunitCase::Passed, {}, {}, {}};
    if (k != 0) SimReset();
    uint32_t seed = options.seed;
    const bool seeded = ScenarioSeed(script.steps, seed) || options.seedSet;
    if (seeded) SimSeed(seed);
    ReviewSession* review = results.reviews.empty() ? nullptr : &results.reviews[k];
    if (review) ReviewBegin(*review, script.name, seeded, seed);
    run.review = review;
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
        attachedWavPath = options.junitAttachments + "/" + AttachmentName(k, script.path, ".wav");
        if (BeginWav(attachedWav, attachedWavPath)) run.attachedWav = &attachedWav;
    }
    SimStart();
    std::string failure;
    ScenarioPlayer player;
    const Outcome outcome = PlayScript(run, script, failure, report.line, player);
    report.seconds = static_cast<double>(SteadyUs() - started) / 1e6;
    report.ticks = run.tick;
    if (review) EndReview(*review, player);
    run.attachedWav = nullptr;
    if (!attachedPng.empty()) {
        WriteAttachments(outcome, attachedPng, attachedWav, attachedWavPath, report,
                         results.attachmentErrors);
    }
    if (options.lcd) std::printf("%s\n%s\n", ScreenLineText(0).c_str(), ScreenLineText(1).c_str());
    RecordOutcome(outcome, failure, run, report, results);
    return report;
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

    RunPlan plan;
    int planExit = ExitOk;
    if (!PlanRun(options, plan, planExit)) return planExit;
    OutputFile& trace = plan.trace;
    WavTimeline& wav = plan.wav;

    Run run(options);
    if (!options.trace.empty()) run.trace = &trace;
    if (!options.wav.empty()) run.wav = &wav;

    RunResults results;
    if (plan.scriptErrors != 0) results.exitCode = ExitUsage;
    const bool reviewed = !options.review.empty() || !options.report.empty();
    if (reviewed) results.reviews.resize(plan.scripts.size());
    for (size_t k = 0; k < plan.scripts.size(); ++k) {
        const Script& script = plan.scripts[k];
        if (!script.error.empty()) {
            results.cases.push_back(ScriptErrorCase(script));
        } else if (results.stoppedBy != 0 || !run.writeError.empty()) {
            JunitCase report{script.name, script.path, 0, 0, 0, JunitCase::Skipped, {}, {}, {}};
            report.message = results.stoppedBy != 0 ? std::string("not run: stopped by ") +
                                                          StopSignalName(results.stoppedBy)
                                                    : "not run: an output could not be written";
            results.cases.push_back(report);
        } else {
            results.cases.push_back(PlayCase(run, plan.scripts, k, results));
        }
    }

    // The outputs: complete, or (the one that failed) not there.
    std::vector<std::string> writeErrors = results.attachmentErrors;
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
        const JunitRun junitRun{SimVersion(), options.seedSet, options.seed};
        const std::string xml = JunitReport(junitRun, results.cases);
        if (!WriteWholeOutput(options.junit, xml.data(), xml.size(), error))
            writeErrors.push_back(error);
    }
    for (const auto& [path, text] :
         {std::pair{options.review, reviewed ? ReviewJson(results.reviews) : std::string()},
          std::pair{options.report, reviewed ? ReviewHtml(results.reviews) : std::string()}}) {
        if (!path.empty() && !WriteWholeOutput(path, text.data(), text.size(), error))
            writeErrors.push_back(error);
    }
    // (A trace on standard output that failed has said so already.)
    const bool stdoutSaid = options.trace == "-" && !trace.error.empty();
    if (!FlushStandardOutput(error) && !stdoutSaid) writeErrors.push_back(error);
    for (const std::string& e : writeErrors) Message("%s; not written", PrintableText(e).c_str());

    if (results.stoppedBy != 0) {
        Message("stopped by %s after tick %llu (%s); the outputs hold the run up to there",
                StopSignalName(results.stoppedBy), static_cast<unsigned long long>(run.tick),
                TickTimeText(run.tick).c_str());
        return ExitSignalBase + results.stoppedBy;
    }
    if (!writeErrors.empty()) return ExitWriteFailed;
    return results.exitCode;
}
