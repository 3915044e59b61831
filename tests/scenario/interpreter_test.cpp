// The scenario player as a front end drives it: the caller ticks, the player says when.
#include "platform/scenario/interpreter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "simulator.h"

namespace {

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        SimReset();
        SimSetSoundService(nullptr);
        SimStart();
    }
    void TearDown() override { SimReset(); }

    static ScenarioPlayer Load(const std::string& text) {
        ParseResult parsed = ParseScenario("p.scn", text);
        EXPECT_TRUE(parsed.ok) << parsed.error;
        ScenarioPlayer player;
        ScenarioBegin(player, "p.scn", std::move(parsed.steps));
        return player;
    }
};

// The actions in order, one letter each (T tick, S screenshot, D done, F failed), with MODE's
// state at each tick (+ held, - released).
std::string Play(ScenarioPlayer& player, std::string* failure = nullptr) {
    std::string actions;
    for (int guard = 0; guard < 1000; ++guard) {
        const ScenarioAction a = ScenarioNext(player);
        switch (a.kind) {
            case ScenarioAction::Tick:
                actions += SimModeHeld() ? "T+" : "T-";
                SimTick();
                break;
            case ScenarioAction::Screenshot:
                actions += "S(" + a.step->text[0] + ")";
                break;
            case ScenarioAction::Done:
                return actions + "D";
            case ScenarioAction::Failed:
                if (failure) *failure = a.message;
                return actions + "F";
        }
    }
    return actions + "...";
}

TEST_F(PlayerTest, TheCallerRunsOneTickPerTickActionAndTheStepsBetween) {
    ScenarioPlayer player = Load(
        "tick 2\npress mode 3\nscreenshot a.png\nmode down\nwait 200ms\n"
        "mode up\ntick 1\n");
    EXPECT_EQ(Play(player), "T-T-T+T+T+S(a.png)T+T+T-D");
    EXPECT_EQ(player.tick, 8u);
    // Done stays done.
    EXPECT_EQ(ScenarioNext(player).kind, ScenarioAction::Done);
}

TEST_F(PlayerTest, AFailedExpectationStopsThePlayWithFileLineAndBothScreens) {
    ScenarioPlayer player =
        Load("tick 3\n\nexpect lcd \"nothing here\" \"????????????\"\ntick 5\n");
    std::string failure;
    EXPECT_EQ(Play(player, &failure), "T-T-T-F");
    EXPECT_EQ(failure.rfind("p.scn:3: expect lcd failed", 0), 0u) << failure;
    EXPECT_NE(failure.find("expected:"), std::string::npos) << failure;
    EXPECT_NE(failure.find("found:"), std::string::npos) << failure;
    EXPECT_EQ(failure.back(), '\n');
    // It stays failed; no more ticks are asked for.
    EXPECT_EQ(ScenarioNext(player).kind, ScenarioAction::Failed);
}

// What a recorder writes from the inputs each call reports (and the ticks between): a long
// press is its MODE down and, when its ticks have run, its MODE up; checks give nothing; the
// inputs before a failed check are reported with it.
TEST_F(PlayerTest, EachCallReportsTheInputsItGave) {
    const struct {
        const char* script;
        const char* recorded;
    } cases[] = {
        {"tick 2\npress mode 3\npower\nexpect silence\nclick 37 279 right\npulses 5\n"
         "source 12.5\npower down\nmode up\npress mode 0\nmode down\ntick 1\nmode up\n",
         "tick 2\nmode down\ntick 3\nmode up\npower\nclick 37 279\npulses 5\nsource 12.5\n"
         "power down\nmode up\nmode down\nmode up\nmode down\ntick 1\nmode up\n"},
        {"press mode 2\npulses 9\nexpect lcd \"nothing here\" \"????????????\"\npower\n",
         "mode down\ntick 2\nmode up\npulses 9\n"},
    };
    for (const auto& c : cases) {
        SetUp();
        ScenarioPlayer player = Load(c.script);
        std::string recorded;
        uint64_t pending = 0;
        for (int guard = 0; guard < 100; ++guard) {
            const ScenarioAction a = ScenarioNext(player);
            for (const Step& given : player.given) {
                if (pending != 0) recorded += "tick " + std::to_string(pending) + "\n";
                pending = 0;
                recorded += FormatStep(given) + "\n";
            }
            if (a.kind != ScenarioAction::Tick) break;
            SimTick();
            ++pending;
        }
        if (pending != 0) recorded += "tick " + std::to_string(pending) + "\n";
        EXPECT_EQ(recorded, c.recorded) << c.script;
    }
}

TEST(ScenarioFormat, EveryStepWrittenOutParsesBackToItself) {
    const char* script =
        "tick 7\nmode down\nmode up\npress mode 15\npower\npower down\nclick 37 279 right\n"
        "expect lcd \"a \\\"q\\\" \\\\\\?? ??\" \"ГAMMA ±??%* \"\nscreenshot \"my "
        "shot.png\"\npulses 200\n"
        "wait until lcd \"ГАММА ??????\" \"????????????\" within 2.5 s\nexpect said \"До "
        "свидания!\"\n"
        "expect tone\nexpect no tone\nexpect clicks 3\nexpect clicks 0..12\nexpect silence\n"
        "expect backlight on\nexpect backlight off\nexpect cursor 17\nexpect cursor off\n"
        "source 12.5\nsource 0\nsource 0.001\n";
    const ParseResult first = ParseScenario("f", script);
    ASSERT_TRUE(first.ok) << first.error;
    std::string again;
    for (const Step& s : first.steps) again += FormatStep(s) + "\n";
    const ParseResult second = ParseScenario("f", again);
    ASSERT_TRUE(second.ok) << second.error << "\n" << again;
    ASSERT_EQ(second.steps.size(), first.steps.size());
    for (size_t i = 0; i < first.steps.size(); ++i) {
        const Step &a = first.steps[i], &b = second.steps[i];
        bool same = a.kind == b.kind && a.count == b.count && a.upTo == b.upTo && a.on == b.on &&
                    a.x == b.x && a.y == b.y && a.text[0] == b.text[0] && a.text[1] == b.text[1];
        for (int c = 0; c < StepCells; ++c) same = same && a.cells[c] == b.cells[c];
        EXPECT_TRUE(same) << FormatStep(a);
    }
}

}  // namespace
