// Every scenario step the parser reads (one row of the step table each) is listed by the
// runner's --help, the manual page's step section and the README's step table, and those
// list no step the parser does not read.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/scenario/steps.h"
#include "support/run_runner.h"

namespace {

using Forms = std::set<std::string>;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool StartsWith(const std::string& s, const char* start) {
    return s.rfind(start, 0) == 0;
}

void ReplaceAll(std::string& s, const std::string& from, const std::string& to) {
    for (size_t i = s.find(from); i != std::string::npos; i = s.find(from, i + to.size()))
        s.replace(i, from.size(), to);
}

// The forms --help lists after "Scenario steps:".
Forms HelpForms(const std::string& help) {
    const size_t start = help.find("Scenario steps: ");
    if (start == std::string::npos) return {};
    // A line that ends in " |" goes on in the next one, indented by two.
    std::string list;
    for (const std::string& line : Lines(help.substr(start + 16))) {
        list += list.empty() ? line : line.substr(2);
        if (list.size() < 2 || list.compare(list.size() - 2, 2, " |") != 0) break;
        list += " ";
    }
    Forms forms;
    size_t from = 0;
    for (;;) {
        const size_t bar = list.find(" | ", from);
        forms.insert(list.substr(from, bar == std::string::npos ? bar : bar - from));
        if (bar == std::string::npos) return forms;
        from = bar + 3;
    }
}

// The tags (".TP" then ".B ...") of the manual page's SCENARIO STEPS section, as printed.
Forms ManForms(const std::string& page) {
    Forms forms;
    bool inSection = false, tag = false;
    for (std::string line : Lines(page)) {
        if (StartsWith(line, ".SH ")) inSection = line == ".SH SCENARIO STEPS";
        if (!inSection) continue;
        if (tag && StartsWith(line, ".B ")) {
            line = line.substr(3);
            for (const char* font : {"\\fI", "\\fB", "\\fR", "\\fP"}) ReplaceAll(line, font, "");
            ReplaceAll(line, "\\(dq", "\"");
            ReplaceAll(line, "\\-", "-");
            forms.insert(line);
        }
        tag = line == ".TP";
    }
    return forms;
}

// The code spans of the first column of the README's step table ("| Step | Meaning |").
Forms ReadmeForms(const std::string& readme) {
    Forms forms;
    bool inTable = false;
    for (std::string line : Lines(readme)) {
        if (StartsWith(line, "| Step | Meaning |")) {
            inTable = true;
            continue;
        }
        if (!inTable || StartsWith(line, "|---")) continue;
        if (line.empty() || line[0] != '|') break;
        ReplaceAll(line, "\\|", "\x01");
        const std::string cell = line.substr(1, line.find('|', 1) - 1);
        for (size_t open = cell.find('`'); open != std::string::npos;) {
            const size_t close = cell.find('`', open + 1);
            if (close == std::string::npos) break;
            std::string form = cell.substr(open + 1, close - open - 1);
            ReplaceAll(form, "\x01", "|");
            forms.insert(form);
            open = cell.find('`', close + 1);
        }
    }
    return forms;
}

Forms TableForms() {
    Forms forms;
    for (size_t i = 0; i < StepTableSize; ++i)
        for (const std::string& form : StepForms(StepTable[i])) forms.insert(form);
    return forms;
}

TEST(DocumentedSteps, HelpManualPageAndReadmeListEveryStepOfTheTable) {
    const RunResult help = RunRunner("--help");
    ASSERT_EQ(help.code, 0) << help.out;
    const std::string source = DRK_SOURCE_DIR;
    const struct {
        const char* where;
        Forms forms;
    } lists[] = {
        {"--help", HelpForms(help.out)},
        {"resources/man/drk20vt5p-headless.1",
         ManForms(ReadWholeFile(source + "/resources/man/drk20vt5p-headless.1"))},
        {"README.md", ReadmeForms(ReadWholeFile(source + "/README.md"))},
    };
    const Forms table = TableForms();
    ASSERT_GE(table.size(), 20u);
    for (const auto& list : lists) {
        for (const std::string& form : table)
            EXPECT_TRUE(list.forms.count(form)) << list.where << " does not list '" << form << "'";
        for (const std::string& form : list.forms)
            EXPECT_TRUE(table.count(form))
                << list.where << " lists '" << form << "', which no row of the step table reads";
    }
}

// The readers above find a form that is missing: a page without one step's tag lacks it.
TEST(DocumentedSteps, TheReadersSeeAMissingStep) {
    const std::string page =
        ".SH SCENARIO STEPS\n.TP\n.B tick \\fIN\\fP\nRun.\n.TP\n.B expect lcd "
        "\\(dq\\fILINE1\\fP\\(dq \\(dq\\fILINE2\\fP\\(dq\n.SH EXIT STATUS\n.TP\n.B 0\n";
    EXPECT_EQ(ManForms(page), (Forms{"tick N", "expect lcd \"LINE1\" \"LINE2\""}));
    const std::string readme =
        "| Step | Meaning |\n|---|---|\n| `mode down`, `mode up` | x |\n"
        "| `expect cursor N\\|off` | y \\| z |\n\nafter\n| `power` | not the table |\n";
    EXPECT_EQ(ReadmeForms(readme), (Forms{"mode down", "mode up", "expect cursor N|off"}));
    EXPECT_EQ(HelpForms("x\nScenario steps: tick N | wait D |\n  power\n  D is a time\n"),
              (Forms{"tick N", "wait D", "power"}));
}

}  // namespace
