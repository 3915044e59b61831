// The golden traces: the full per-tick trace of each session below must match the committed
// one byte for byte. scripts/update-golden regenerates them after a deliberate change.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/run_runner.h"

namespace {

namespace fs = std::filesystem;

// The first line on which the two texts differ, from 1; 0 when they are equal.
size_t FirstDifferentLine(const std::string& a, const std::string& b, std::string& lineA,
                          std::string& lineB) {
    std::istringstream sa(a), sb(b);
    size_t n = 0;
    while (true) {
        ++n;
        const bool moreA = static_cast<bool>(std::getline(sa, lineA));
        const bool moreB = static_cast<bool>(std::getline(sb, lineB));
        if (!moreA && !moreB) return a == b ? 0 : n;
        if (!moreA) lineA = "<end of trace>";
        if (!moreB) lineB = "<end of trace>";
        if (!moreA || !moreB || lineA != lineB) return n;
    }
}

// tests/golden/NAME.scn and NAME.trace.golden; scripts/update-golden lists the same names.
class GoldenTrace : public ::testing::TestWithParam<const char*> {};

TEST_P(GoldenTrace, MatchesTheCommittedTrace) {
    const std::string name = GetParam();
    const fs::path source = DRK_SOURCE_DIR;
    const fs::path script = source / "tests/golden" / (name + ".scn");
    const fs::path golden = source / "tests/golden" / (name + ".trace.golden");
    const fs::path trace = fs::temp_directory_path() /
                           ("drk-golden-" + name + "-" +
                            std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                            "-" + std::to_string(static_cast<long>(::getpid())) + ".trace");
    ASSERT_TRUE(fs::exists(golden)) << golden << " is missing; run scripts/update-golden";

    const RunResult run = RunRunner("--script " + script.string() + " --trace " + trace.string());
    const std::string found = ReadWholeFile(trace.string());
    fs::remove(trace);
    ASSERT_EQ(run.code, 0) << run.out;

    const std::string expected = ReadWholeFile(golden.string());
    std::string lineExpected, lineFound;
    const size_t line = FirstDifferentLine(expected, found, lineExpected, lineFound);
    EXPECT_EQ(line, 0u) << "the trace differs from " << golden << " first at line " << line
                        << "\n  golden: " << lineExpected << "\n  found:  " << lineFound
                        << "\nIf the change is deliberate, run scripts/update-golden.";
}

// A basic session of three minutes; a 30-minute session across the modes with menu edits;
// the reduced variant.
INSTANTIATE_TEST_SUITE_P(Sessions, GoldenTrace,
                         ::testing::Values("basic_session", "long_session",
                                           "reduced_variant_session"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });

}  // namespace
