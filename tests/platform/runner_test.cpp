// The headless runner as a user runs it: options, scenario scripts, exit codes and traces.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/scenario/scenario.h"
#include "support/run_runner.h"

namespace {

namespace fs = std::filesystem;

class RunnerTest : public ::testing::Test {
protected:
    fs::path dir;

    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("drk-runner-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Write(const std::string& name, const std::string& text) {
        const fs::path p = dir / name;
        std::ofstream(p, std::ios::binary) << text;
        return p.string();
    }
    static std::string Read(const std::string& path) { return ReadWholeFile(path); }
    static RunResult Run(const std::string& args) { return RunRunner(args); }
};

TEST_F(RunnerTest, UsageAndScriptErrorsExitTwoBeforeAnyOutput) {
    const struct {
        const char* script;  // nullptr: no script file
        const char* args;
        const char* message;
    } cases[] = {
        {nullptr, "--frobnicate", "unknown option '--frobnicate'"},
        {nullptr, "--ticks", "--ticks needs a value"},
        {nullptr, "--ticks -3", "--ticks needs a whole number"},
        {nullptr, "--ticks 12x", "--ticks needs a whole number"},
        {nullptr, "--script /nonexistent/x.scn", "/nonexistent/x.scn:0: cannot read"},
        {"tick 3\n\n# fine\njump 4\n", "", "s.scn:4: unknown step 'jump'"},
        {"tick 3\ntick -1\n", "", "s.scn:2: expected: tick N"},
        {"wait 2.5\n", "", "s.scn:1: expected: wait D"},
        {"wait 1h\n", "", "s.scn:1: expected: wait D"},
        {"press mode x\n", "", "s.scn:1: expected: press mode [N]"},
        {"click 10\n", "", "s.scn:1: expected: click X Y"},
        {"click 10 20 middle\n", "", "s.scn:1: expected: click X Y"},
        {"expect lcd \"ab\"\n", "", "s.scn:1: expected: expect lcd"},
        {"expect lcd \"ab\" \"cd\n", "", "s.scn:1: unterminated quoted text"},
        {"pulses 0\n", "", "s.scn:1: expected: pulses N"},
        {"pulses 256\n", "", "s.scn:1: expected: pulses N"},
        {"expect lcd \"ab\" \"cd\"\n", "", "s.scn:1: expect lcd: \"ab\" is 2 cells, not 12"},
        {"expect lcd \"ГАММА ±28%   \" \"????????????\"\n", "", "is 13 cells, not 12"},
        {"wait until lcd \"????????????\" \"????????????\"\n", "",
         "s.scn:1: expected: wait until lcd"},
        {"wait until lcd \"????????????\" \"????????????\" within 3\n", "",
         "s.scn:1: expected: within D"},
        {"expect said hello\n", "", "s.scn:1: expected: expect said \"WORDS\""},
        {"expect no clicks\n", "", "s.scn:1: expected: expect tone | expect no tone"},
        {"expect clicks 5..2\n", "", "s.scn:1: expected: expect clicks N"},
        {"expect cursor 24\n", "", "s.scn:1: expected: expect cursor N"},
        {"expect backlight dim\n", "", "s.scn:1: expected: expect backlight on"},
        {"expect smell\n", "", "s.scn:1: expected: expect lcd | said"},
        {"source 2000.5\n", "", "s.scn:1: expected: source R"},
        {"source -1\n", "", "s.scn:1: expected: source R"},
        {"source 1.2345\n", "", "s.scn:1: expected: source R"},
        {nullptr, "--seed x", "--seed needs a whole number"},
        {nullptr, "--trace again.jsonl", "option --trace given twice"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args + std::string(c.script ? c.script : ""));
        const std::string trace = (dir / "trace.jsonl").string();
        std::string args = "--trace " + trace + " " + c.args;
        if (c.script) args = "--script " + Write("s.scn", c.script) + " " + args;
        const RunResult r = Run(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
        EXPECT_FALSE(fs::exists(trace)) << "an output file was written";
    }
}

TEST_F(RunnerTest, FailedExpectExitsOneWithFileLineExpectedAndFound) {
    const std::string script =
        Write("e.scn", "tick 2\nexpect lcd \"nothing here\" \"            \"\ntick 5\n");
    const RunResult r = Run("--script " + script + " --trace " + (dir / "t").string());
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("e.scn:2: expect lcd failed"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("expected: \"nothing here\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("found:"), std::string::npos) << r.out;
    // The run stops at the failed expect: two ticks in the trace, not seven.
    const std::string trace = Read((dir / "t").string());
    EXPECT_EQ(std::count(trace.begin(), trace.end(), '\n'), 2);
}

TEST_F(RunnerTest, TraceHasOneObjectPerTickCountingFromOne) {
    const RunResult r = Run("--ticks 3 --trace -");
    ASSERT_EQ(r.code, 0) << r.out;
    std::istringstream lines(r.out);
    std::string line;
    int n = 0;
    while (std::getline(lines, line)) {
        ++n;
        EXPECT_EQ(line.rfind("{\"tick\":" + std::to_string(n) + ",\"on\":1,\"lcd\":[\"", 0), 0u)
            << line;
        for (const char* field :
             {"\"cells\":[", "\"cursor\":", "\"backlight\":", "\"pulses\":", "\"played\":"}) {
            EXPECT_NE(line.find(field), std::string::npos) << field << " in " << line;
        }
        EXPECT_EQ(line.back(), '}');
    }
    EXPECT_EQ(n, 3);
}

TEST_F(RunnerTest, SameScenarioGivesByteIdenticalTraces) {
    const std::string script = Write("d.scn",
                                     "wait 3s\npress mode 2\nwait 1.5s\npress mode 16\n"
                                     "tick 30\npower\ntick 10\npower\nwait 4s\n"
                                     "mode down\nclick 5 5 right\ntick 20\n");
    const std::string a = (dir / "a").string(), b = (dir / "b").string();
    ASSERT_EQ(Run("--script " + script + " --ticks 300 --trace " + a).code, 0);
    ASSERT_EQ(Run("--script " + script + " --ticks 300 --trace " + b).code, 0);
    const std::string ta = Read(a), tb = Read(b);
    EXPECT_GT(ta.size(), 1000u);
    EXPECT_TRUE(ta == tb) << "traces differ";
}

TEST_F(RunnerTest, ScriptFromStandardInput) {
    const std::string script = Write("in.scn", "tick 4\n");
    const RunResult r = Run("--script - --trace - < " + script);
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("{\"tick\":4,"), std::string::npos);
    EXPECT_EQ(r.out.find("{\"tick\":5,"), std::string::npos);
}

TEST_F(RunnerTest, VersionNamesTheProgramAndTheSimulatorVersion) {
    const RunResult r = Run("--version");
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out.rfind("drk20vt5p-headless ", 0), 0u) << r.out;
    // MAJOR.MINOR.PATCH and a newline.
    const std::string version = r.out.substr(19);
    EXPECT_EQ(std::count(version.begin(), version.end(), '.'), 2) << r.out;
    EXPECT_EQ(version.back(), '\n');
}

TEST(ScenarioParse, DurationsRoundUpToWholeTicks) {
    const struct {
        const char* text;
        bool ok;
        uint64_t ticks;
    } cases[] = {
        {"2.5s", true, 25}, {"20ms", true, 1},   {"100ms", true, 1}, {"101ms", true, 2},
        {"0ms", true, 0},   {"1min", true, 600}, {"0.05s", true, 1}, {"1.25 min", true, 750},
        {"3s", true, 30},   {"2.5", false, 0},   {"-1s", false, 0},  {"1.2.3s", false, 0},
        {"s", false, 0},    {".s", false, 0},    {"5 h", false, 0},  {"99999999999min", false, 0},
    };
    for (const auto& c : cases) {
        uint64_t ticks = 12345;
        EXPECT_EQ(ParseDuration(c.text, ticks), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(ticks, c.ticks) << c.text;
        }
    }
}

TEST(ScenarioParse, StepsKeepTheirLinesAndQuotedText) {
    const ParseResult r = ParseScenario("x",
                                        "# comment\n\npress mode\npress mode 15\n"
                                        "expect lcd \"a \\\"b\\\"       \" \"c\\\\?\\?????????\"\n"
                                        "screenshot \"my \\\"shot\\\".png\"\n");
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.steps.size(), 4u);
    EXPECT_EQ(r.steps[0].line, 3);
    EXPECT_EQ(r.steps[0].count, 1u);
    EXPECT_EQ(r.steps[1].count, 15u);
    // An LCD line's cells: \" a quote, \\ a backslash, \? a question mark, ? any cell.
    const Step& lcd = r.steps[2];
    EXPECT_EQ(lcd.text[0], "a \\\"b\\\"       ");  // as written, for messages
    EXPECT_EQ(lcd.cells[0], "a");
    EXPECT_EQ(lcd.cells[2], "\"");
    EXPECT_EQ(lcd.cells[3], "b");
    EXPECT_EQ(lcd.cells[4], "\"");
    EXPECT_EQ(lcd.cells[12], "c");
    EXPECT_EQ(lcd.cells[13], "\\");
    EXPECT_EQ(lcd.cells[14], "");  // any
    EXPECT_EQ(lcd.cells[15], "?");
    EXPECT_EQ(lcd.cells[16], "");
    EXPECT_EQ(r.steps[3].text[0], "my \"shot\".png");
}

// --- Outputs that are complete or absent, refusals that say why (each fault as it was found:
// F1 to F12), signals, the JUnit report, the WAV as heard, the trace's sounds.

// The WAV's data size from its header; -1 when the header does not describe the file.
int64_t WavDataSize(const std::string& wav) {
    auto le32 = [&](size_t at) {
        return static_cast<int64_t>(static_cast<uint8_t>(wav[at]) |
                                    static_cast<uint8_t>(wav[at + 1]) << 8 |
                                    static_cast<uint8_t>(wav[at + 2]) << 16 |
                                    static_cast<uint32_t>(static_cast<uint8_t>(wav[at + 3])) << 24);
    };
    if (wav.size() < 44 || wav.compare(0, 4, "RIFF") != 0 || wav.compare(36, 4, "data") != 0)
        return -1;
    const int64_t data = le32(40);
    if (le32(4) != data + 36 || static_cast<int64_t>(wav.size()) != 44 + data) return -1;
    return data;
}

#ifndef _WIN32

// A disk that is full after 16 blocks: writes past the limit fail (EFBIG) instead of killing.
const char FullDisk[] = "ulimit -f 16; trap '' XFSZ;";

TEST_F(RunnerTest, OutputsAreCompleteOrAbsentAndRefusalsSayWhy) {
    const std::string d = dir.string();
    Write("s.scn", "tick 1\n");
    Write("shot.scn", "tick 2\nscreenshot " + d + "/step.png\n");
    Write("keep.wav", "what was there before");
    std::string many = "--say 109";
    for (int i = 0; i < 300; ++i) many += ",109";  // 300 x 31 pages: more than 540 s
    const struct {
        const char* fault;
        std::string prefix;
        std::string args;
        int code;
        std::string message;
        std::vector<std::string> absent;  // files that must not be there afterwards
    } cases[] = {
        {"F1",
         "",
         "--script " + d,
         2,
         d + ":0: cannot read the script file: it is a directory",
         {}},
        {"F1",
         "",
         "--script /proc/self/mem",
         2,
         "/proc/self/mem:0: cannot read the script file",
         {}},
        {"F2",
         "",
         "--script /dev/zero",
         2,
         "/dev/zero:0: cannot read the script file: it is a device",
         {}},
        {"F2",
         "",
         "--script - < /dev/zero",
         2,
         "<stdin>:0: cannot read the script file: it is "
         "larger than 16 MiB",
         {}},
        {"F3", "", "--ticks 50 --trace /dev/full", 4, "/dev/full: write failed", {}},
        {"F3",
         FullDisk,
         "--ticks 600 --trace " + d + "/t.jsonl",
         4,
         d + "/t.jsonl: write failed",
         {d + "/t.jsonl"}},
        {"F4",
         FullDisk,
         "--ticks 5 --screenshot " + d + "/p.png",
         4,
         d + "/p.png: write failed",
         {d + "/p.png"}},
        {"F4",
         FullDisk,
         "--script " + d + "/shot.scn",
         4,
         d + "/shot.scn:2: " + d + "/step.png: write failed",
         {d + "/step.png"}},
        {"F5",
         FullDisk,
         "--ticks 100 --wav " + d + "/keep.wav",
         4,
         d + "/keep.wav: write failed",
         {}},
        {"F6",
         "",
         "--ticks 3 --trace " + d + "/t6 --wav " + d + "/no/x.wav",
         2,
         "--wav " + d + "/no/x.wav: cannot write",
         {d + "/t6"}},
        {"F6",
         "",
         "--ticks 3 --trace " + d + "/t6 --screenshot " + d + "/no/x.png",
         2,
         "--screenshot " + d + "/no/x.png: cannot write",
         {d + "/t6"}},
        {"F6", "", "--ticks 3 --trace " + d + "/t6 --junit " + d, 2, "is a directory", {d + "/t6"}},
        {"F7",
         "",
         "--script " + d + "/s.scn --trace " + d + "/s.scn",
         2,
         "the same file as --script",
         {}},
        {"F7",
         "",
         "--ticks 3 --trace " + d + "/a --wav " + d + "/../" + dir.filename().string() + "/a",
         2,
         "the same file as --trace",
         {d + "/a"}},
        {"F9",
         "",
         "--script - <&-",
         2,
         "<stdin>:0: cannot read the script file: standard input "
         "is closed",
         {}},
        {"F10",
         "",
         many + " --wav " + d + "/many.wav",
         2,
         "do not fit the sound buffer",
         {d + "/many.wav"}},
        {"F12",
         "",
         "--say 106 --script " + d + "/s.scn --wav " + d + "/w.wav",
         2,
         "--say plays messages without starting the instrument",
         {d + "/w.wav"}},
        {"F12", "", "--say 106", 2, "--say needs --wav FILE", {}},
        {"F12", "", "--say list --wav " + d + "/w.wav", 2, "--say list prints the messages", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.fault) + ": " + c.args);
        if (c.args.find("/proc/") != std::string::npos && !fs::exists("/proc/self/mem")) continue;
        const RunResult r = RunRunner(c.args, c.prefix);
        EXPECT_EQ(r.code, c.code) << r.out;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
        for (const std::string& f : c.absent) EXPECT_FALSE(fs::exists(f)) << f;
        // Nothing is left behind: no temporary file, the old WAV and the script as they were.
        for (const auto& entry : fs::directory_iterator(dir))
            EXPECT_EQ(entry.path().extension() == ".tmp", false) << entry.path();
        EXPECT_EQ(Read(d + "/keep.wav"), "what was there before");
        EXPECT_EQ(Read(d + "/s.scn"), "tick 1\n");
    }
}

TEST_F(RunnerTest, ControlCharactersInScriptsAreShownEscaped) {
    // F11: a byte-order mark at the start is skipped; a stray one, a control character or a
    // CR inside a quoted line is shown as an escape, never raw.
    const struct {
        const char* script;
        int code;
        const char* message;
    } cases[] = {
        {"\xEF\xBB\xBFtick 1\r\ntick 2\r\n", 0, ""},
        {"tick 1\n\xEF\xBB\xBFtick 2\n", 2, "s.scn:2: unknown step '\\u{FEFF}tick'"},
        {"jump\x01\x1b[31m 3\n", 2, "s.scn:1: unknown step 'jump\\x01\\x1B[31m'"},
        {"expect lcd \"ГAMMA\r       \" \"????????????\"\n", 2, "\"ГAMMA\\r       \" is 13 cells"},
        {"tick 2\nexpect said \"\x07hello\"\n", 1, "expected \"\\x07hello\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        const RunResult r = Run("--script " + Write("s.scn", c.script));
        EXPECT_EQ(r.code, c.code) << r.out;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
        for (char ch : r.out)
            EXPECT_TRUE(ch == '\n' || static_cast<unsigned char>(ch) >= 0x20) << r.out;
        EXPECT_EQ(r.out.find("\xEF\xBB\xBF"), std::string::npos) << r.out;
    }
}

TEST_F(RunnerTest, SignalEndsTheRunWithCompleteOutputsAndItsExitCode) {
    // F8: a long real-time run, stopped once it has shown its first screen.
    for (const int sig : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(sig);
        const std::string trace = (dir / "t.jsonl").string(), wav = (dir / "w.wav").string();
        const std::string command = "echo $$; exec " + std::string(DRK_HEADLESS) +
                                    " --realtime --show --ticks 3000 --trace " + trace +
                                    " --trace-sound --wav " + wav + " 2>&1";
        FILE* p = popen(command.c_str(), "r");
        ASSERT_NE(p, nullptr);
        char line[512];
        ASSERT_NE(fgets(line, sizeof line, p), nullptr);
        const long pid = std::strtol(line, nullptr, 10);
        ASSERT_GT(pid, 0);
        std::string out;
        while (fgets(line, sizeof line, p) != nullptr) {  // the first --show line: it runs
            out += line;
            if (std::strncmp(line, "00:", 3) == 0) break;
        }
        ASSERT_EQ(kill(static_cast<pid_t>(pid), sig), 0);
        while (fgets(line, sizeof line, p) != nullptr) out += line;
        const int status = pclose(p);
        ASSERT_TRUE(WIFEXITED(status)) << out;
        EXPECT_EQ(WEXITSTATUS(status), 128 + sig) << out;
        const std::string name = sig == SIGINT ? "SIGINT" : "SIGTERM";
        const size_t at = out.find("stopped by " + name + " after tick ");
        ASSERT_NE(at, std::string::npos) << out;
        const long ticks = std::strtol(out.c_str() + at + name.size() + 23, nullptr, 10);
        ASSERT_GE(ticks, 1) << out;
        // The trace: one whole line per tick run, the last one that tick's.
        const std::string t = Read(trace);
        EXPECT_EQ(std::count(t.begin(), t.end(), '\n'), ticks);
        ASSERT_FALSE(t.empty());
        EXPECT_EQ(t.back(), '\n');
        EXPECT_NE(t.rfind("{\"tick\":" + std::to_string(ticks) + ","), std::string::npos);
        // The WAV: a header that tells the truth, 800 samples a tick at least.
        const int64_t data = WavDataSize(Read(wav));
        EXPECT_GE(data, ticks * 800);
        fs::remove(trace);
        fs::remove(wav);
    }
}

#endif  // _WIN32

TEST_F(RunnerTest, JunitReportHasOneCasePerScriptWithTheFailure) {
    const std::string ok =
        Write("ok.scn", "wait until lcd \"ГАММА ??????\" \"????????????\" within 5s\n");
    const std::string bad =
        Write("bad.scn", "tick 2\nexpect lcd \"nothing <her\" \"????????????\"\n");
    const std::string report = (dir / "junit.xml").string();
    const RunResult r =
        Run("--script " + ok + " --script " + bad + " --script " + ok + " --junit " + report);
    EXPECT_EQ(r.code, 1) << r.out;
    const std::string x = Read(report);
    EXPECT_EQ(x.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites", 0), 0u) << x;
    EXPECT_NE(
        x.find("<testsuites name=\"drk20vt5p-headless\" tests=\"3\" failures=\"1\" errors=\"0\""),
        std::string::npos)
        << x;
    size_t cases = 0;
    for (size_t at = x.find("<testcase "); at != std::string::npos;
         at = x.find("<testcase ", at + 1))
        ++cases;
    EXPECT_EQ(cases, 3u) << x;
    EXPECT_NE(x.find("<testcase classname=\"scenario\" name=\"" + ok + "\""), std::string::npos);
    EXPECT_NE(x.find("<failure message=\"" + (dir / "bad.scn").string() +
                     ":2: expect lcd failed after tick 2 (00:00.2)\">"),
              std::string::npos)
        << x;
    EXPECT_NE(x.find("expected: &quot;nothing &lt;her&quot;"), std::string::npos) << x;
    // Each script on a fresh instrument: the third passes as the first did.
    EXPECT_EQ(x.find("<failure", x.find("<failure") + 1), std::string::npos) << x;
}

TEST_F(RunnerTest, WavIsTheSessionAsHeardAtTheWindow) {
    const std::string demo = std::string(DRK_SOURCE_DIR) + "/resources/demo.scn";
    const std::string a = (dir / "a.wav").string(), b = (dir / "b.wav").string();
    const std::string trace = (dir / "t.jsonl").string(), say = (dir / "say.wav").string();
    ASSERT_EQ(Run("--script " + demo + " --wav " + a + " --trace " + trace).code, 0);
    ASSERT_EQ(Run("--script " + demo + " --wav " + b).code, 0);
    ASSERT_EQ(Run("--say 106 --wav " + say).code, 0);
    const std::string wa = Read(a), greeting = Read(say).substr(44);
    EXPECT_TRUE(wa == Read(b)) << "two runs gave different WAV files";
    const int64_t data = WavDataSize(wa);
    ASSERT_GT(data, 0);

    // Its length: the instrument time plus what the sounds held the ticks up, within a tick;
    // the greeting where its tick is.
    std::istringstream lines(Read(trace));
    std::string line;
    int64_t ticks = 0, holds = 0, start = 0, greetingAt = -1;
    while (std::getline(lines, line)) {
        const int64_t played = std::stoll(line.substr(line.rfind("\"played\":") + 9));
        if (played == static_cast<int64_t>(greeting.size()) && greetingAt < 0) greetingAt = start;
        holds += played > 800 ? played - 800 : 0;
        start += played > 800 ? played : 800;
        ++ticks;
    }
    EXPECT_GT(ticks, 1400);      // two and a half minutes
    EXPECT_GT(holds, 8000 * 5);  // greetings, announcements, farewell: ten seconds
    EXPECT_LE(std::llabs(data - (ticks * 800 + holds)), 800);
    ASSERT_GE(greetingAt, 0);
    EXPECT_TRUE(wa.compare(44 + greetingAt, greeting.size(), greeting) == 0);
    EXPECT_EQ(wa[44 + greetingAt - 1], static_cast<char>(128));  // silence before it
}

TEST_F(RunnerTest, TraceSoundAddsWhatEachTickPlayedAfterTheUsualFields) {
    const std::string plain = (dir / "p").string(), sound = (dir / "s").string();
    ASSERT_EQ(Run("--ticks 60 --trace " + plain).code, 0);
    ASSERT_EQ(Run("--ticks 60 --trace " + sound + " --trace-sound").code, 0);
    std::istringstream p(Read(plain)), s(Read(sound));
    std::string lp, ls;
    int spoken = 0;
    while (std::getline(p, lp) && std::getline(s, ls)) {
        ASSERT_EQ(ls.compare(0, lp.size() - 1, lp, 0, lp.size() - 1), 0) << ls;
        const std::string extra = ls.substr(lp.size() - 1);
        if (lp.find("\"played\":0}") != std::string::npos) {
            EXPECT_EQ(extra, ",\"clicks\":0,\"tones\":0,\"speech\":[]}");
        } else {
            EXPECT_EQ(extra,
                      ",\"clicks\":0,\"tones\":0,\"speech\":[{\"n\":106,\"text\":\"Дозиметр "
                      "включён.\"}]}");
            ++spoken;
        }
    }
    EXPECT_EQ(spoken, 1);
    EXPECT_FALSE(std::getline(s, ls));
}

TEST_F(RunnerTest, SeedGivesAnotherRepeatableBackground) {
    const auto trace = [&](const std::string& options) {
        const std::string t = (dir / "t").string();
        EXPECT_EQ(Run("--ticks 300 --trace " + t + " " + options).code, 0);
        return Read(t);
    };
    const std::string unseeded = trace(""), seeded = trace("--seed 12345");
    EXPECT_TRUE(trace("--seed 12345") == seeded);
    EXPECT_FALSE(seeded == unseeded);
    EXPECT_FALSE(trace("--seed 12346") == seeded);
}

TEST_F(RunnerTest, TheReadmesExampleScenarioRuns) {
    const std::string readme = Read(std::string(DRK_SOURCE_DIR) + "/README.md");
    const size_t intro = readme.find("A scenario to start from");
    ASSERT_NE(intro, std::string::npos);
    const size_t start = readme.find("```\n", intro) + 4;
    const size_t end = readme.find("```\n", start);
    ASSERT_LT(start, end);
    const std::string script = Write("readme.scn", readme.substr(start, end - start));
    const RunResult r = Run("--script " + script);
    EXPECT_EQ(r.code, 0) << r.out;
}

TEST_F(RunnerTest, SayListPrintsEveryMessageWithItsWords) {
    const RunResult r = Run("--say list");
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 113);
    EXPECT_EQ(r.out.rfind("0\tноль\n", 0), 0u);
    EXPECT_NE(r.out.find("\n110\tМощность дозы\n"), std::string::npos);
    EXPECT_NE(r.out.find("\n112\tКонец записи.\n"), std::string::npos);
}

// A check that survives another seed: the reading's words left to "*", the verdict kept.
TEST_F(RunnerTest, ExpectSaidWithAnyWordsHoldsForEverySeed) {
    const std::string any = Write(
        "any.scn", "wait 3s\nexpect said #106\nwait 1min\nexpect said \"Мощность дозы * Фон *\"\n");
    const std::string exact = Write(
        "exact.scn",
        "wait 3s\nwait 1min\nexpect said \"Мощность дозы семьдесят восемь сотых микрозиверта в "
        "час. Фон повышен.\"\n");
    int exactFailed = 0;
    for (const char* seed : {"1", "2", "3", "4"}) {
        const RunResult r = Run("--seed " + std::string(seed) + " --script " + any);
        EXPECT_EQ(r.code, 0) << "seed " << seed << ": " << r.out;
        exactFailed += Run("--seed " + std::string(seed) + " --script " + exact).code == 1;
    }
    EXPECT_GT(exactFailed, 0) << "every seed gave the same reading: the check proves nothing";
    // "*" stands for words, not for the whole of a wrong message.
    const std::string wrong =
        Write("wrong.scn", "wait 3s\nwait 1min\nexpect said \"Мощность дозы * Конец записи.\"\n");
    EXPECT_EQ(Run("--script " + wrong).code, 1);
}

}  // namespace
