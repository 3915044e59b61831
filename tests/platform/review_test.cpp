// The review of a run (--review JSON, --report HTML) as a trainer or a test engineer reads it.
#include "platform/review/review.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/scenario/interpreter.h"
#include "simulator.h"
#include "support/run_runner.h"

namespace {

namespace fs = std::filesystem;

const std::string AlarmScript = std::string(DRK_SOURCE_DIR) + "/tests/scenarios/gamma_alarm.scn";
const std::string CycleScript = std::string(DRK_SOURCE_DIR) + "/tests/scenarios/mode_cycle.scn";

class ReviewTest : public ::testing::Test {
protected:
    fs::path dir;

    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("drk-review-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Path(const std::string& name) const { return (dir / name).string(); }
};

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// The alarm scenario: the menu walk, the threshold lowered, the check source raising the
// alarm; then two minutes more with two periodic announcements.
TEST_F(ReviewTest, AlarmRunListsPressesScreensSpeechToneAndAlarmAtTheirTicks) {
    const RunResult r = RunRunner("--script " + AlarmScript + " --ticks 1200 --review " +
                                  Path("r.json") + " --report " + Path("r.html"));
    ASSERT_EQ(r.code, 0) << r.out;
    const std::string json = ReadWholeFile(Path("r.json"));
    const std::string html = ReadWholeFile(Path("r.html"));
    for (
        const char* event : {
            // The greeting and the measuring screen after the power-on screen; the first
            // press (the script's `tick 28`, then `press mode 20`) comes after 28 ticks.
            R"({"tick":28,"time":"00:02.8","kind":"screen","lcd":["ГAMMA       ","            "]})",
            R"({"tick":28,"time":"00:02.8","kind":"said","messages":[106],"count":1,"words":"Дозиметр включён."})",
            R"({"tick":28,"time":"00:02.8","kind":"press","step":"press mode 20"})",
            R"("kind":"screen","lcd":["УCTAHOBKИ   ","BЫXOД       "]})",
            R"("alarms":"threshold"})",
        }) {
        EXPECT_NE(json.find(event), std::string::npos) << event << "\n" << json;
    }
    EXPECT_EQ(json.rfind(R"({"program":"drk20vt5p","version":")", 0), 0u);
    EXPECT_NE(json.find(R"("seed":null,"ticks":1639,)"), std::string::npos);
    // The tone sounds while the alarm is raised: one run of bursts inside the alarm period.
    const size_t alarm = json.find(R"("kind":"alarm")");
    const size_t tone = json.find(R"("kind":"tone")");
    ASSERT_NE(alarm, std::string::npos);
    ASSERT_NE(tone, std::string::npos);
    EXPECT_EQ(Count(json, R"("kind":"tone")"), 1u);
    EXPECT_EQ(Count(json, R"("kind":"said")"), 3u);
    EXPECT_NE(json.find("Мощность дозы восемьдесят одна сотая микрозиверта в час Фон повышен."),
              std::string::npos);

    // One self-contained page: nothing fetched, no script; the plots and the words there.
    EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
    for (const char* outside : {"<script", "http:", "https:", " src=", "<link", "url("})
        EXPECT_EQ(html.find(outside), std::string::npos) << outside;
    EXPECT_NE(html.find("@page{size:A4"), std::string::npos);
    EXPECT_EQ(Count(html, "<svg class=\"plot\""), 2u);  // the gamma reading, the pulses
    EXPECT_EQ(Count(html, "<path class=\"line\""), 2u);
    EXPECT_EQ(Count(html, "<rect class=\"alarm\""), 2u);  // the alarm period on both plots
    EXPECT_NE(html.find("мкЗв/ч"), std::string::npos);
    EXPECT_NE(html.find("Дозиметр включён."), std::string::npos);
    EXPECT_NE(html.find("<pre class=\"lcd\">УCTAHOBKИ   \nBЫXOД       </pre>"), std::string::npos);
    EXPECT_EQ(Count(html, "pressed: <code>"), 35u);
}

// A class: each script on a fresh instrument, the same bytes run after run, and a session in
// the class reviewed as it is alone.
TEST_F(ReviewTest, ClassReviewHasOneEntryASessionAndIsRepeatable) {
    const std::string both = " --script " + AlarmScript + " --script " + CycleScript;
    ASSERT_EQ(RunRunner(both + " --review " + Path("a.json") + " --report " + Path("a.html")).code,
              0);
    ASSERT_EQ(RunRunner(both + " --review " + Path("b.json") + " --report " + Path("b.html")).code,
              0);
    ASSERT_EQ(RunRunner("--script " + CycleScript + " --review " + Path("c.json")).code, 0);
    const std::string a = ReadWholeFile(Path("a.json"));
    EXPECT_EQ(a, ReadWholeFile(Path("b.json")));
    EXPECT_EQ(ReadWholeFile(Path("a.html")), ReadWholeFile(Path("b.html")));
    EXPECT_EQ(Count(a, "{\"name\":"), 2u);
    EXPECT_EQ(Count(a, "\"seed\":null,"), 2u);
    const std::string alone = ReadWholeFile(Path("c.json"));
    const std::string entry = alone.substr(alone.find("{\"name\":"));
    EXPECT_NE(a.find(entry.substr(0, entry.size() - 3)), std::string::npos);  // without "]}\n"

    const std::string html = ReadWholeFile(Path("a.html"));
    const size_t table = html.find("<table class=\"class\">");
    ASSERT_NE(table, std::string::npos);
    EXPECT_LT(table, html.find("<section class=\"session\">"));
    EXPECT_EQ(Count(html, "<section class=\"session\">"), 2u);
    EXPECT_NE(html.find("<tr><td>" + AlarmScript + "</td>", table), std::string::npos);
    EXPECT_NE(html.find("<tr><td>" + CycleScript + "</td>", table), std::string::npos);
}

TEST_F(ReviewTest, ReviewOutputsAreCheckedLikeTheOthers) {
    const RunResult say = RunRunner("--say 106 --wav " + Path("s.wav") + " --review " + Path("r"));
    EXPECT_EQ(say.code, 2) << say.out;
    const RunResult same = RunRunner("--ticks 1 --review " + Path("x") + " --report " + Path("x"));
    EXPECT_EQ(same.code, 2) << same.out;
    EXPECT_FALSE(fs::exists(Path("x")));
    const RunResult out = RunRunner("--ticks 1 --review - --report -");
    EXPECT_EQ(out.code, 2) << out.out;
}

// Only a measuring screen's number is a reading: the menu's items show numbers with units too
// (the backlight's "15 c", the dose reset's "0.000 мЗв").
TEST(Review, ReadingsComeFromMeasuringScreensOnly) {
    std::ifstream in(AlarmScript, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ParseResult parsed = ParseScenario("alarm", text);
    ASSERT_TRUE(parsed.ok) << parsed.error;
    SimReset();
    SimUseCarriedResources();
    SimStart();
    ReviewSession s;
    ReviewBegin(s, "alarm", false, 0);
    ScenarioPlayer player;
    ScenarioBegin(player, "alarm", std::move(parsed.steps));
    for (ScenarioAction a = ScenarioNext(player); a.kind == ScenarioAction::Tick;
         a = ScenarioNext(player)) {
        SimTick();
        ReviewTick(s);
    }
    ReviewEnd(s);
    EXPECT_EQ(s.units, std::vector<std::string>{"мкЗв/ч"});
    ASSERT_EQ(s.reading.size(), s.ticks);
    // The last reading as the script's last expect saw it: 78.39.
    EXPECT_EQ(s.reading.back(), 78390);
    SimReset();
}

TEST(Review, FixedPointText) {
    struct Case {
        int64_t thousandths;
        int decimals;
        const char* text;
    } cases[] = {{0, 3, "0.000"},  {78390, 2, "78.39"}, {5, 3, "0.005"},
                 {12345, 0, "12"}, {-1500, 1, "-1.5"},  {999999000, 1, "999999.0"}};
    for (const Case& c : cases) EXPECT_EQ(ReviewFixed(c.thousandths, c.decimals), c.text);
}

}  // namespace
