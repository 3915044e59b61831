// The display's text as a person reads it: Russian words in Cyrillic wherever the runner
// prints the screen (--lcd, --show, a failed expect's lines), while the trace keeps the
// display's own letters (the look-alikes in Latin), as scripts and tools match them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/scenario/scenario.h"
#include "support/run_runner.h"

namespace {

namespace fs = std::filesystem;

TEST(CyrillicSpelling, RussianWordsInCyrillicOthersAsTheyAre) {
    const struct {
        const char* display;  // as the display's codes spell it
        const char* read;     // for a person
    } cases[] = {
        {"ГAMMA ± 1%* ", "ГАММА ± 1%* "},  // Latin A, M inside a Russian word
        {"БETA ±99%  ", "БЕТА ±99%  "},
        {"243.91мкЗв/ч", "243.91мкЗв/ч"},  // all Cyrillic already
        {"15 c        ", "15 с        "},  // a word of small look-alikes: seconds
        {"DRK-20  VT5P", "DRK-20  VT5P"},  // Latin capitals alone stay Latin
        {"ПPГ GF  1.00", "ПРГ GF  1.00"},  // one word of each
        {"nothing here", "nothing here"},  // small letters that are not all look-alikes
        {"мин⁻¹cм⁻²", "мин⁻¹см⁻²"},        // Latin c after a superscript cell
        {"", ""},
    };
    for (const auto& c : cases) {
        const std::string read = CyrillicSpelling(c.display);
        EXPECT_EQ(read, c.read) << c.display;
        // Matched as a display cell, each letter of the result is the display's own again.
        std::string back;
        for (const std::string& cell : SplitCells(read)) back += LookAlikeText(cell);
        EXPECT_EQ(back, c.display);
    }
}

class ScreenTextTest : public ::testing::Test {
protected:
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("drk-screen-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
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
};

TEST_F(ScreenTextTest, LcdShowAndFailedExpectPrintCyrillicTheTraceKeepsTheDisplaysLetters) {
    const std::string script = Write("g.scn", "wait 5s\n");
    const std::string trace = (dir / "t").string();
    const RunResult r = RunRunner("--script " + script + " --lcd --show --trace " + trace);
    ASSERT_EQ(r.code, 0) << r.out;
    // --show's lines and the --lcd lines at the end.
    EXPECT_NE(r.out.find("[ГАММА       ]"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nГАММА ±99%  \n0.40 мкЗв/ч \n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("ГAMMA"), std::string::npos) << r.out;
    // The trace: the display's codes as they are (Latin A and M).
    const std::string lines = ReadWholeFile(trace);
    EXPECT_NE(lines.find("\"lcd\":[\"ГAMMA ±99%  \""), std::string::npos);
    EXPECT_EQ(lines.find("ГАММА"), std::string::npos);

    // A failed expect: both lines in Cyrillic, so the found line pasted into an expect holds.
    const RunResult failed = RunRunner(
        "--script " + Write("f.scn", "wait 5s\nexpect lcd \"БETA ???????\" \"????????????\"\n"));
    EXPECT_EQ(failed.code, 1);
    EXPECT_NE(failed.out.find("  expected: \"БЕТА ???????\" \"????????????\"\n"
                              "  found:    \"ГАММА ±99%  \" \"0.40 мкЗв/ч \"\n"),
              std::string::npos)
        << failed.out;
    const RunResult pasted = RunRunner(
        "--script " + Write("p.scn", "wait 5s\nexpect lcd \"ГАММА ±99%  \" \"0.40 мкЗв/ч \"\n"));
    EXPECT_EQ(pasted.code, 0) << pasted.out;
}

}  // namespace
