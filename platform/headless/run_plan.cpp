#include "run_plan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>

#include "interpreter.h"

#ifndef O_BINARY
#define O_BINARY 0
#endif

namespace {

constexpr size_t MaxScriptBytes = 16u << 20;  // 16 MiB: far more than any script

// A script's text: a regular file, a pipe or standard input ("-"), at most MaxScriptBytes.
bool ReadScript(const std::string& path, std::string& text, std::string& error) {
    int fd = 0;
    if (path == "-") {
        struct stat st;
        if (fstat(0, &st) != 0) {
            error = "standard input is closed";
            return false;
        }
    } else {
        struct stat st;
        if (stat(path.c_str(), &st) != 0) {
            error = std::strerror(errno);
            return false;
        }
        if (S_ISDIR(st.st_mode)) {
            error = "it is a directory";
            return false;
        }
        if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode)) {
            error = "it is a device, not a file";
            return false;
        }
        fd = open(path.c_str(), O_RDONLY | O_BINARY);
        if (fd < 0) {
            error = std::strerror(errno);
            return false;
        }
    }
    char buffer[65536];
    bool ok = true;
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = std::strerror(errno);
            ok = false;
            break;
        }
        if (n == 0) break;
        if (text.size() + static_cast<size_t>(n) > MaxScriptBytes) {
            error = "it is larger than 16 MiB";
            ok = false;
            break;
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    if (fd != 0) close(fd);
    return ok;
}

// One output of the run, for the checks before the first tick.
struct NamedOutput {
    std::string what;  // "--trace", "the screenshot on line 12 of x.scn", ...
    std::string path;
};

}  // namespace

void Message(const char* format, ...) {
    std::fflush(stdout);
    std::fputs("drk20vt5p-headless: ", stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
}

namespace {

// Reads and parses every script, with --ticks added to each.
bool ReadScripts(const RunnerOptions& options, std::vector<Script>& scripts) {
    std::string error;
    for (const std::string& path : options.scripts) {
        Script script{path, path == "-" ? "<stdin>" : path, {}};
        for (const Script& s : scripts) {
            if (path == "-" && s.path == "-") {
                Message("standard input can be only one --script");
                return false;
            }
        }
        std::string text;
        if (!ReadScript(path, text, error)) {
            Message("%s:0: cannot read the script file: %s", PrintableText(script.name).c_str(),
                    error.c_str());
            return false;
        }
        ParseResult parsed = ParseScenario(script.name, text);
        if (!parsed.ok) {
            Message("%s", parsed.error.c_str());
            return false;
        }
        script.steps = std::move(parsed.steps);
        scripts.push_back(std::move(script));
    }
    if (scripts.empty()) scripts.push_back(Script{"", "run", {}});
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

}  // namespace

bool PlanRun(const RunnerOptions& options, RunPlan& plan) {
    // Everything is checked before the first tick and before any output file is written.
    if (!ReadScripts(options, plan.scripts)) return false;
    std::string error;
    const std::vector<Script>& scripts = plan.scripts;
    OutputFile& trace = plan.trace;
    WavTimeline& wav = plan.wav;
    // Outputs: each on a file of its own, none on a script, each one writable.
    std::vector<NamedOutput> outputs;
    if (!options.trace.empty() && options.trace != "-")
        outputs.push_back({"--trace", options.trace});
    if (!options.wav.empty()) outputs.push_back({"--wav", options.wav});
    if (!options.screenshot.empty()) outputs.push_back({"--screenshot", options.screenshot});
    if (!options.junit.empty()) outputs.push_back({"--junit", options.junit});
    for (const Script& s : scripts) {
        for (const Step& step : s.steps) {
            if (step.kind == StepKind::Screenshot) {
                outputs.push_back(
                    {PrintableText(s.name) + ":" + std::to_string(step.line) + ": screenshot",
                     step.text[0]});
            }
        }
    }
    if (options.trace == "-" && options.junit == "-") {
        Message("--trace and --junit both on standard output");
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
    for (const NamedOutput& o : outputs) {
        if (!CheckOutputPath(o.path, error)) {
            Message("%s %s", o.what.c_str(), PrintableText(error).c_str());
            return false;
        }
    }
    if (!options.trace.empty() && !OpenOutput(trace, options.trace)) {
        Message("--trace %s", PrintableText(trace.error).c_str());
        return false;
    }
    if (!options.wav.empty() && !BeginWav(wav, options.wav)) {
        DiscardOutput(trace);
        Message("--wav %s", PrintableText(wav.error).c_str());
        return false;
    }

    return true;
}
