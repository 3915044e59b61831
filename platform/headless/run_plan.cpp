#include "run_plan.h"

#include <sys/stat.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "interpreter.h"
#include "script_reader.h"
#include "simulator.h"
#include "stop_signals.h"

void Message(const char* format, ...) {
    std::fflush(stdout);
    std::fputs("drk20vt5p-headless: ", stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
}

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

JunitCase ScriptErrorCase(const Script& script) {
    return JunitCase{script.name,
                     script.path,
                     script.errorLine,
                     0,
                     0,
                     JunitCase::Error,
                     script.error.substr(0, script.error.find('\n')),
                     script.error,
                     {}};
}

namespace {

// The line of a script error "NAME:LINE: ...", 0 when it has none.
int ErrorLine(const std::string& name, const std::string& error) {
    const std::string prefix = PrintableText(name) + ":";
    if (error.compare(0, prefix.size(), prefix) != 0) return 0;
    return std::atoi(error.c_str() + prefix.size());
}

// Before the first tick: a stop signal ends the program with nothing written.
int StoppedBeforeRun() {
    Message("stopped by %s before the first tick; nothing written", StopSignalName(StopSignal));
    return ExitSignalBase + StopSignal;
}

// Reads and parses one script; a script that cannot be read or parsed keeps its error.
// False when a stop signal came while reading it.
bool ReadOneScript(Script& script) {
    std::string text, error;
    if (!ReadScriptFile(script.path, PrintableText(script.name), text, error)) {
        if (StopSignal != 0) return false;
        script.error = error;
        script.errorLine = ErrorLine(script.name, error);
        return true;
    }
    ParseResult parsed = ParseScenario(script.name, text);
    if (parsed.ok) {
        script.steps = std::move(parsed.steps);
    } else {
        script.error = parsed.error;
        script.errorLine = ErrorLine(script.name, parsed.error);
    }
    return true;
}

// Reads and parses every script, with --ticks added to each. With --junit a script that
// cannot be read or parsed is an error case of the report and the others run; without,
// nothing runs.
bool ReadScripts(const RunnerOptions& options, RunPlan& plan, int& exitCode) {
    std::vector<Script>& scripts = plan.scripts;
    for (const std::string& path : options.scripts) {
        Script script{path, path == "-" ? "<stdin>" : path, {}, {}, 0};
        for (const Script& s : scripts) {
            if (path == "-" && s.path == "-") {
                Message("standard input can be only one --script");
                exitCode = ExitUsage;
                return false;
            }
        }
        if (!ReadOneScript(script)) {
            exitCode = StoppedBeforeRun();
            return false;
        }
        if (!script.error.empty()) {
            Message("%s", script.error.c_str());
            if (options.junit.empty()) {
                exitCode = ExitUsage;
                return false;
            }
        }
        scripts.push_back(std::move(script));
    }
    for (const Script& s : scripts) {
        uint32_t seed;
        if (options.seedSet && ScenarioSeed(s.steps, seed)) {
            Message("%s sets its own seed: --seed would override it; give one or the other",
                    PrintableText(s.name).c_str());
            exitCode = ExitUsage;
            return false;
        }
    }
    for (const Script& s : scripts) plan.scriptErrors += !s.error.empty();
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
    return true;
}

// One output of the run, for the checks before the first tick.
struct NamedOutput {
    std::string what;  // "--trace", "the screenshot on line 12 of x.scn", ...
    std::string path;
};

// Every output file the run may write: the options', the attachments' and the scripts'
// screenshots. False (with the message) when --junit-attachments is not a folder.
bool NameOutputs(const RunnerOptions& options, const std::vector<Script>& scripts,
                 std::vector<NamedOutput>& outputs) {
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
            return false;
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
    return true;
}

// Outputs: each on a file of its own, none on a script, each one writable. False (with the
// message) when one is not.
bool CheckOutputs(const RunnerOptions& options, const std::vector<Script>& scripts,
                  const std::vector<NamedOutput>& outputs) {
    if ((options.trace == "-") + (options.junit == "-") + (options.review == "-") +
            (options.report == "-") >
        1) {
        Message("only one of --trace, --junit, --review and --report can be standard output");
        return false;
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
            return false;
        }
        taken[key] = o.what + " " + o.path;
    }
    if (!options.wav.empty() &&
        ScenarioMaxTicks(scripts[0].steps) > WavMaxSamples / WavTickSamples) {
        Message("--wav: the run is longer than one WAV file holds (4 GiB, 149 hours)");
        return false;
    }
    std::string error;
    for (const NamedOutput& o : outputs) {
        if (!CheckOutputPath(o.path, error)) {
            Message("%s %s", o.what.c_str(), PrintableText(error).c_str());
            return false;
        }
    }
    return true;
}

// Nothing to run: the report alone, with its error cases. The exit code.
int ReportScriptErrors(const RunnerOptions& options, const std::vector<Script>& scripts) {
    const JunitRun junitRun{SimVersion(), options.seedSet, options.seed};
    std::vector<JunitCase> cases;
    for (const Script& s : scripts) cases.push_back(ScriptErrorCase(s));
    const std::string xml = JunitReport(junitRun, cases);
    std::string error;
    if (!WriteWholeOutput(options.junit, xml.data(), xml.size(), error)) {
        Message("%s; not written", PrintableText(error).c_str());
        return ExitWriteFailed;
    }
    return ExitUsage;
}

// Opens the outputs written during the run (--trace, --wav). False with the exit code when
// one cannot be opened or a stop signal came; then neither is left.
bool OpenStreamedOutputs(const RunnerOptions& options, RunPlan& plan, int& exitCode) {
    OutputFile& trace = plan.trace;
    WavTimeline& wav = plan.wav;
    if (!options.trace.empty() && !OpenOutput(trace, options.trace)) {
        if (StopSignal != 0) {
            exitCode = StoppedBeforeRun();
            return false;
        }
        Message("--trace %s", PrintableText(trace.error).c_str());
        exitCode = ExitUsage;
        return false;
    }
    if (!options.wav.empty() && !BeginWav(wav, options.wav)) {
        DiscardOutput(trace);
        if (StopSignal != 0) {
            exitCode = StoppedBeforeRun();
            return false;
        }
        Message("--wav %s", PrintableText(wav.error).c_str());
        exitCode = ExitUsage;
        return false;
    }
    if (StopSignal != 0) {
        DiscardOutput(trace);
        DiscardWav(wav);
        exitCode = StoppedBeforeRun();
        return false;
    }
    return true;
}

}  // namespace

bool PlanRun(const RunnerOptions& options, RunPlan& plan, int& exitCode) {
    // Everything is checked before the first tick and before any output file is written.
    if (!ReadScripts(options, plan, exitCode)) return false;
    std::vector<NamedOutput> outputs;
    if (!NameOutputs(options, plan.scripts, outputs) ||
        !CheckOutputs(options, plan.scripts, outputs)) {
        exitCode = ExitUsage;
        return false;
    }
    if (plan.scriptErrors == static_cast<int>(plan.scripts.size())) {
        exitCode = ReportScriptErrors(options, plan.scripts);
        return false;
    }
    return OpenStreamedOutputs(options, plan, exitCode);
}
