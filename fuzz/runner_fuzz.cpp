// libFuzzer target over the headless runner's two parsers: the scenario script parser and
// the command-line parser. Besides "no crash, no hang, no sanitizer report" it checks what a
// user relies on:
//
// - a script that is refused names the file and the line: "NAME:LINE: message", LINE a line
//   that the script has, and no step is kept;
// - an accepted script's steps carry increasing lines of the script, their numbers lie in the
//   ranges the runner accepts, and writing the steps out again as a script and parsing that
//   gives the same steps;
// - a refused command line comes with a message; an accepted one holds values in range.
//
// The first byte of an input chooses the parser: even for a script (the rest of the input is
// its text), odd for a command line (the rest split at NUL bytes into arguments).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/headless/options.h"
#include "platform/scenario/scenario.h"

namespace {

constexpr uint64_t MaxTicks = 1000000000ULL;
const std::string ScriptName = "fuzz.scn";

[[noreturn]] void Broken(const char* what, const std::string& detail) {
    std::fprintf(stderr, "runner_fuzz: %s: %s\n", what, detail.c_str());
    std::abort();
}

size_t LineCount(const std::string& text) {
    size_t lines = 1;
    for (char c : text) lines += c == '\n';
    return lines;
}

// The steps as a script of their own.
std::string Unparse(const std::vector<Step>& steps) {
    std::string out;
    for (const Step& s : steps) out += FormatStep(s) + "\n";
    return out;
}

bool SameSteps(const Step& a, const Step& b) {
    bool same = a.kind == b.kind && a.count == b.count && a.upTo == b.upTo && a.on == b.on &&
                a.x == b.x && a.y == b.y && a.text[0] == b.text[0] && a.text[1] == b.text[1];
    for (int c = 0; c < StepCells; ++c) same = same && a.cells[c] == b.cells[c];
    return same;
}

void CheckScript(const std::string& text) {
    const ParseResult r = ParseScenario(ScriptName, text);
    if (!r.ok) {
        // "fuzz.scn:LINE: message"
        const std::string& e = r.error;
        if (e.compare(0, ScriptName.size() + 1, ScriptName + ":") != 0)
            Broken("error does not start with the file name", e);
        size_t i = ScriptName.size() + 1, digits = 0;
        uint64_t line = 0;
        while (i < e.size() && e[i] >= '0' && e[i] <= '9' && digits < 12) {
            line = line * 10 + static_cast<uint64_t>(e[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || e.compare(i, 2, ": ") != 0 || e.size() <= i + 2)
            Broken("error does not name the line", e);
        if (line < 1 || line > LineCount(text)) Broken("error names a line the script lacks", e);
        if (!r.steps.empty()) Broken("a refused script kept steps", e);
        return;
    }
    if (!r.error.empty()) Broken("an accepted script has an error", r.error);
    int lastLine = 0;
    for (const Step& s : r.steps) {
        if (s.line <= lastLine || static_cast<size_t>(s.line) > LineCount(text))
            Broken("step line out of order or past the end", std::to_string(s.line));
        lastLine = s.line;
        switch (s.kind) {
            case StepKind::Tick:
            case StepKind::PressMode:
                if (s.count > MaxTicks)
                    Broken("tick count over the limit", std::to_string(s.count));
                break;
            case StepKind::Pulses:
                if (s.count < 1 || s.count > 255)
                    Broken("pulses out of 1-255", std::to_string(s.count));
                break;
            case StepKind::Click:
                if (s.x > 65535 || s.y > 65535) Broken("click outside 0-65535", "");
                break;
            case StepKind::Screenshot:
                if (s.text[0].empty()) Broken("screenshot without a file name", "");
                break;
            case StepKind::WaitUntilLcd:
                if (s.count > MaxTicks) Broken("wait over the limit", std::to_string(s.count));
                break;
            case StepKind::ExpectClicks:
                if (s.count > s.upTo) Broken("click range upside down", FormatStep(s));
                break;
            case StepKind::ExpectCursor:
                if (s.on && s.count >= static_cast<uint64_t>(StepCells))
                    Broken("cursor cell out of 0-23", std::to_string(s.count));
                break;
            case StepKind::Source:
                if (s.count > 2000000) Broken("source over 2000 a second", FormatStep(s));
                break;
            default:
                break;
        }
    }
    const std::string again = Unparse(r.steps);
    const ParseResult r2 = ParseScenario(ScriptName, again);
    if (!r2.ok) Broken("the written-out steps do not parse", r2.error + "\n" + again);
    if (r2.steps.size() != r.steps.size()) Broken("the written-out steps differ in number", again);
    for (size_t k = 0; k < r.steps.size(); ++k) {
        if (!SameSteps(r.steps[k], r2.steps[k]))
            Broken("a written-out step parses differently", again);
    }
}

void CheckCommandLine(const uint8_t* data, size_t size) {
    std::vector<std::string> args{"drk20vt5p-headless"};
    std::string current;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    if (size != 0) args.push_back(current);
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);

    RunnerOptions options;
    std::string error;
    const bool ok = ParseRunnerOptions(static_cast<int>(args.size()), argv.data(), options, error);
    if (!ok) {
        if (error.empty()) Broken("a refused command line without a message", "");
        return;
    }
    if (options.ticks > MaxTicks) Broken("--ticks over the limit", std::to_string(options.ticks));
    if (options.saySet && options.say.empty()) Broken("--say accepted with no message", "");
    if (options.saySet && options.sayList) Broken("--say both a list and messages", "");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    if ((data[0] & 1) == 0) {
        CheckScript(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    } else {
        CheckCommandLine(data + 1, size - 1);
    }
    return 0;
}
