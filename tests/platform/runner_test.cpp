// The headless runner as a user runs it: options, scenario scripts, exit codes and traces.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

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

}  // namespace
