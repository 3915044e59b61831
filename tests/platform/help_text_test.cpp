// The desktop window's help overlay held against the instrument: for each place (measuring,
// the settings menu, the number editor) and each press (short, long), the help's words for it
// and what that press does there.
#include "platform/sdl/help_text.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/scenario/interpreter.h"
#include "simulator.h"

namespace {

// The help as one line of words, single spaces.
std::string HelpWords() {
    std::string words;
    for (int i = 0; i < HelpParagraphCount; ++i) {
        if (!words.empty()) words += ' ';
        words += HelpParagraphs[i];
    }
    return words;
}

// The part of the help about one press: from its heading to the next MODE heading.
std::string HelpAbout(const std::string& heading) {
    const std::string words = HelpWords();
    const size_t from = words.find(heading);
    if (from == std::string::npos) return "";
    const size_t to = words.find("MODE ", from + heading.size());
    return words.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

std::string Play(const std::string& script) {
    ParseResult parsed = ParseScenario("help", script);
    if (!parsed.ok) return parsed.error;
    ScenarioPlayer player;
    ScenarioBegin(player, "help", std::move(parsed.steps));
    SimReset();
    SimStart();
    for (;;) {
        const ScenarioAction action = ScenarioNext(player);
        if (action.kind == ScenarioAction::Tick) SimTick();
        if (action.kind == ScenarioAction::Done) return "";
        if (action.kind == ScenarioAction::Failed) return action.message;
    }
}

TEST(DesktopHelp, SaysWhatShortAndLongPressesDoInMeasuringMenuAndEditor) {
    const std::string measuring = "wait 5s\n";
    const std::string menu = measuring + "press mode 20\ntick 2\n";  // on its exit item
    const std::string editor = menu + "press mode 3\ntick 2\npress mode 20\ntick 2\n";
    const struct {
        const char* press;  // the help's heading for it
        const char* words;  // what the help says it does there
        std::string script;
    } cases[] = {
        {"MODE short press",
         "next measuring mode (with the backlight dark, the first press only "
         "lights it)",
         measuring + "press mode 3\ntick 2\nexpect backlight on\n"
                     "expect lcd \"ГАММА???????\" \"????????????\"\n"
                     "press mode 3\nwait until lcd \"БЕТА????????\" \"????????????\" within 1s\n"},
        {"MODE short press", "in the menu, the next item;",
         menu + "expect lcd \"УСТАНОВКИ   \" \"ВЫХОД       \"\npress mode 3\ntick 2\n"
                "expect lcd \"ПРГ мкЗв/ч  \" \"9999.99     \"\nexpect cursor off\n"},
        {"MODE short press", "in the editor, one more on the digit under the cursor (9, then 0)",
         editor + "expect lcd \"ПРГ мкЗв/ч  \" \"9999.9      \"\nexpect cursor 12\n"
                  "press mode 3\ntick 2\nexpect lcd \"ПРГ мкЗв/ч  \" \"0999.9      \"\n"
                  "expect cursor 12\npress mode 3\ntick 2\n"
                  "expect lcd \"ПРГ мкЗв/ч  \" \"1999.9      \"\n"},
        {"MODE long press", "(hold about 2 s; 1.5 s in the menu): the settings menu",
         measuring + "press mode 20\ntick 2\nexpect lcd \"УСТАНОВКИ   \" \"ВЫХОД       \"\n"},
        {"MODE long press", "in the menu, act on the item shown",
         menu + "press mode 3\ntick 2\npress mode 15\ntick 2\n"
                "expect lcd \"ПРГ мкЗв/ч  \" \"9999.9      \"\nexpect cursor 12\n"},
        {"MODE long press", "in the editor, the next digit (past the last: done)",
         editor +
             "press mode 20\ntick 2\nexpect cursor 13\n"
             "press mode 20\ntick 2\npress mode 20\ntick 2\nexpect cursor 15\n"
             "expect lcd \"ПРГ мкЗв/ч  \" \"9999.9      \"\n"
             "press mode 20\ntick 2\nexpect cursor 17\npress mode 20\ntick 2\n"  // past the point
             "expect cursor off\nexpect lcd \"ПРГ мкЗв/ч  \" \"9999.90     \"\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.words);
        EXPECT_NE(HelpAbout(c.press).find(c.words), std::string::npos) << HelpAbout(c.press);
        EXPECT_EQ(Play(c.script), "");
    }
    SimReset();
}

}  // namespace
