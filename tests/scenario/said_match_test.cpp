// expect said patterns: words compared as spoken, "*" for any words, "#N" for a message's.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/scenario/scenario.h"
#include "platform/scenario/voice_texts.h"

namespace {

struct SaidCase {
    const char* pattern;
    std::vector<uint8_t> said;
    bool holds;
};

// 110 "Мощность дозы", 2 "два", 100 "микрозиверта в час", 103 "Фон в норме.",
// 104 "Фон повышен.", 106 "Дозиметр включён.", 107 "До свидания!".
const SaidCase Cases[] = {
    {"Дозиметр включён.", {106}, true},
    {"дозиметр ВКЛЮЧЕН", {106}, true},  // case, ё and punctuation aside
    {"Дозиметр", {106}, false},
    {"Мощность дозы * Фон в норме.", {110, 2, 100, 103}, true},
    {"Мощность дозы * Фон в норме.", {110, 103}, true},  // "*" may be no words
    {"Мощность дозы * Фон в норме.", {110, 2, 100, 104}, false},
    {"Мощность дозы *", {110, 2, 100, 104}, true},
    {"* Фон повышен.", {110, 2, 100, 104}, true},
    {"*", {}, true},
    {"*", {107}, true},
    {"", {}, true},
    {"", {107}, false},
    {"#110 * #104", {110, 2, 100, 104}, true},
    {"#110 * #104", {110, 2, 100, 103}, false},
    {"#106", {106}, true},
    {"#107", {106}, false},
    {"#106 #107", {106, 107}, true},
    {"#110 два * #103", {110, 2, 100, 103}, true},
    {"#110 пять * #103", {110, 2, 100, 103}, false},
    // A "*" tried from its shortest run up: the words after it may come again later.
    {"* Фон * Фон повышен.", {103, 104}, true},
    {"* в * норме", {110, 2, 100, 103}, true},
    {"* в час * в час", {110, 2, 100, 103}, false},
    {"#110 * * #103", {110, 103}, true},
    // "#" and "*" stand apart only as whole tokens.
    {"#abc", {}, false},  // the word "abc"
    {"два*", {2}, true},
};

TEST(SaidMatches, PatternsAgainstWhatWasSaid) {
    for (const SaidCase& c : Cases) {
        EXPECT_EQ(SaidMatches(c.pattern, c.said), c.holds)
            << "pattern \"" << c.pattern << "\", " << c.said.size() << " messages";
    }
}

// The step's two forms: in quotes, or words and tokens unquoted; written back in quotes.
TEST(SaidMatches, TheStepReadsBothFormsAndRefusesAMessageThatIsNotThere) {
    const struct {
        const char* line;
        const char* words;  // nullptr: a script error, `words` then part of its message
        const char* error;
    } steps[] = {
        {"expect said \"Мощность дозы * Фон в норме.\"", "Мощность дозы * Фон в норме.", ""},
        {"expect said #110 * #104", "#110 * #104", ""},
        {"expect said *", "*", ""},
        {"expect said Фон в норме.", nullptr, "expected: expect said \"WORDS\" | expect said #N"},
        {"expect said #0 #112", "#0 #112", ""},
        {"expect said #113", nullptr, "no message #113 (the messages are #0 to #112"},
        {"expect said \"#110 #999\"", nullptr, "no message #999"},
        {"expect said", nullptr, "expected: expect said \"WORDS\" | expect said #N ..."},
        {"expect said #110 \"два\"", nullptr, "expected: expect said"},
    };
    for (const auto& c : steps) {
        const ParseResult r = ParseScenario("s", std::string(c.line) + "\n");
        if (c.words == nullptr) {
            EXPECT_FALSE(r.ok) << c.line;
            EXPECT_NE(r.error.find(c.error), std::string::npos) << c.line << ": " << r.error;
            continue;
        }
        ASSERT_TRUE(r.ok) << c.line << ": " << r.error;
        ASSERT_EQ(r.steps.size(), 1u);
        EXPECT_EQ(r.steps[0].text[0], c.words) << c.line;
        const ParseResult again = ParseScenario("s", FormatStep(r.steps[0]) + "\n");
        ASSERT_TRUE(again.ok) << FormatStep(r.steps[0]);
        EXPECT_EQ(again.steps[0].text[0], c.words) << FormatStep(r.steps[0]);
    }
}

}  // namespace
