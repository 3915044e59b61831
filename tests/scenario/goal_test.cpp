// Goals, the pass mark and the seed as scenario steps: how they read and write back, and how
// a run meets its goals (never stopping for one) and scores them in the review.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/scenario/scenario.h"
#include "support/run_runner.h"

namespace {

namespace fs = std::filesystem;

TEST(GoalSteps, ReadAndWriteBack) {
    const char* script =
        "seed 7\npass 25\n"
        "goal 10 \"To \\\"beta\\\"\" within 20s: lcd \"БЕТА????????\" \"????????????\"\n"
        "goal 5 \"The tone\" within 1 min: tone\n"
        "goal 3 \"Greeting\" within 2.5 s : said \"Дозиметр включён\"\n"
        "goal 1 \"Lit\" within 100ms: backlight on\n"
        "goal 2 \"Clicks\" within 3s: clicks 1..5\n";
    const ParseResult first = ParseScenario("g", script);
    ASSERT_TRUE(first.ok) << first.error;
    ASSERT_EQ(first.steps.size(), 7u);
    const Step& beta = first.steps[2];
    EXPECT_TRUE(beta.goal);
    EXPECT_EQ(beta.kind, StepKind::ExpectLcd);
    EXPECT_EQ(beta.points, 10u);
    EXPECT_EQ(beta.goalText, "To \"beta\"");
    EXPECT_EQ(beta.within, 200u);
    EXPECT_EQ(first.steps[3].within, 600u);
    EXPECT_EQ(first.steps[4].within, 25u);
    EXPECT_EQ(first.steps[0].kind, StepKind::Seed);
    EXPECT_EQ(first.steps[0].count, 7u);
    EXPECT_EQ(first.steps[1].kind, StepKind::Pass);
    std::string again;
    for (const Step& s : first.steps) again += FormatStep(s) + "\n";
    const ParseResult second = ParseScenario("g", again);
    ASSERT_TRUE(second.ok) << second.error << "\n" << again;
    ASSERT_EQ(second.steps.size(), first.steps.size());
    for (size_t i = 0; i < first.steps.size(); ++i) {
        const Step &a = first.steps[i], &b = second.steps[i];
        EXPECT_TRUE(a.kind == b.kind && a.goal == b.goal && a.points == b.points &&
                    a.within == b.within && a.goalText == b.goalText && a.count == b.count &&
                    a.upTo == b.upTo && a.on == b.on && a.text[0] == b.text[0] &&
                    a.text[1] == b.text[1])
            << FormatStep(a);
    }
}

TEST(GoalSteps, MistakesAreRefusedWithTheLine) {
    struct Case {
        const char* script;
        const char* message;
    } cases[] = {
        {"goal 10 \"x\" within 5s: tick 3\n", "g:1: expected: a goal's check"},
        {"goal ten \"x\" within 5s: tone\n", "g:1: expected: goal POINTS"},
        {"goal 10 \"x\" within 5s tone\n", "g:1: expected: goal POINTS"},
        {"goal 10 \"x\" within soon: tone\n", "g:1: expected: within D:"},
        {"goal 10 \"x\" within 5s: lcd \"short\" \"????????????\"\n", "g:1: goal: expect lcd:"},
        {"tick 1\nseed 3\n", "g:2: seed must come before"},
        {"pass many\n", "g:1: expected: pass POINTS"},
    };
    for (const Case& c : cases) {
        const ParseResult r = ParseScenario("g", c.script);
        EXPECT_FALSE(r.ok) << c.script;
        EXPECT_EQ(r.error.rfind(c.message, 0), 0u) << r.error;
    }
}

// A short drill on the runner: goals met in their windows score, one met too late does not,
// an unmet goal does not stop the run, and the seed step is --seed.
TEST(GoalSteps, TheRunScoresGoalsMetWithinTheirTime) {
    const fs::path dir = fs::temp_directory_path() / "drk-goal-test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string drill = (dir / "drill.scn").string();
    std::ofstream(drill) << "seed 5\npass 30\n"
                            "goal 10 \"Switch to beta\" within 20s: lcd \"БЕТА????????\" "
                            "\"????????????\"\n"
                            "goal 20 \"Hear the greeting\" within 5s: said \"Дозиметр включён\"\n"
                            "goal 5 \"Open the menu\" within 3s: lcd \"УСТАНОВКИ???\" "
                            "\"????????????\"\n"
                            "goal 7 \"The menu, later\" within 20s: lcd \"УСТАНОВКИ???\" "
                            "\"????????????\"\n"
                            "tick 40\npress mode 3\ntick 5\npress mode 3\ntick 20\n"
                            "press mode 20\ntick 10\n"
                            "goal 4 \"Never\" within 1s: tone\n";
    const std::string json = (dir / "r.json").string();
    const RunResult r = RunRunner("--script " + drill + " --review " + json);
    ASSERT_EQ(r.code, 0) << r.out;
    const std::string review = ReadWholeFile(json);
    EXPECT_NE(review.find("\"seed\":5,\"ticks\":101,\"time\":\"00:10.1\",\"score\":37,"
                          "\"most\":46,\"pass\":30,\"result\":\"passed\""),
              std::string::npos)
        << review;
    for (
        const char* goal : {
            R"({"line":3,"points":10,"text":"Switch to beta","within":"20s","met":true,"tick":52,)",
            R"({"line":4,"points":20,"text":"Hear the greeting","within":"5s","met":true,"tick":28,)",
            R"({"line":5,"points":5,"text":"Open the menu","within":"3s","met":false})",
            R"({"line":6,"points":7,"text":"The menu, later","within":"20s","met":true,)",
            R"({"line":14,"points":4,"text":"Never","within":"1s","met":false})",
        }) {
        EXPECT_NE(review.find(goal), std::string::npos) << goal << "\n" << review;
    }
    // The seed step gives the background --seed gives.
    std::ofstream(dir / "plain.scn") << "tick 600\n";
    std::ofstream(dir / "seeded.scn") << "seed 5\ntick 600\n";
    ASSERT_EQ(RunRunner("--script " + (dir / "plain.scn").string() + " --seed 5 --trace " +
                        (dir / "a").string())
                  .code,
              0);
    ASSERT_EQ(
        RunRunner("--script " + (dir / "seeded.scn").string() + " --trace " + (dir / "b").string())
            .code,
        0);
    ASSERT_EQ(
        RunRunner("--script " + (dir / "plain.scn").string() + " --trace " + (dir / "c").string())
            .code,
        0);
    EXPECT_EQ(ReadWholeFile((dir / "a").string()), ReadWholeFile((dir / "b").string()));
    EXPECT_NE(ReadWholeFile((dir / "a").string()), ReadWholeFile((dir / "c").string()));
    // Both at once would leave one unsaid.
    EXPECT_EQ(RunRunner("--script " + (dir / "seeded.scn").string() + " --seed 6").code, 2);
    fs::remove_all(dir);
}

}  // namespace
