#include "drill.h"

#include <cstdio>
#include <vector>

#include "review.h"
#include "session.h"
#include "simulator.h"

namespace {

bool Active = false;
ReviewSession Review;

}  // namespace

bool BeginDrill(const std::string& path, ScenarioPlayer& player, bool& seeded, uint32_t& seed) {
    if (!LoadScript(path, player)) return false;
    seeded = ScenarioSeed(player.steps, seed);
    ReviewBegin(Review, path, seeded, seed);
    Active = true;
    std::printf("drk20vt5p: the drill %s: its goals\n", path.c_str());
    for (const Step& s : player.steps) {
        if (s.goal) {
            std::printf("  %s (%u points, within %s of its start)\n", s.goalText.c_str(), s.points,
                        s.duration.c_str());
        }
    }
    std::printf("  The End key ends the drill.\n");
    std::fflush(stdout);
    return true;
}

void DrillStep(const std::string& line) {
    if (!Active) return;
    const std::string verb = line.substr(0, line.find(' '));
    if (verb == "mode" || verb == "press" || verb == "power" || verb == "click")
        ReviewPress(Review, line);
}

void DrillTick() {
    if (Active) ReviewTick(Review);
}

bool DrillOver(const ScenarioPlayer& player, bool timelineDone) {
    if (!Active) return false;
    if (timelineDone) return true;
    size_t goals = 0;
    for (const Step& s : player.steps) goals += s.goal ? 1 : 0;
    if (goals == 0 || player.goals.size() < goals) return false;
    for (const GoalState& g : player.goals)
        if (g.open) return false;
    return true;
}

void EndDrill(const ScenarioPlayer& player, const std::string& record) {
    if (!Active) return;
    Active = false;
    for (const GoalState& g : ScenarioGoals(player)) {
        Review.goals.push_back(ReviewGoal{g.step->line, g.step->points, g.step->goalText,
                                          g.step->duration, g.met, g.tick,
                                          g.lcd[0] + "\n" + g.lcd[1]});
    }
    Review.passSet = player.passSet;
    Review.passMark = player.passMark;
    if (!record.empty()) Review.name = record;
    ReviewEnd(Review);
    uint64_t score = 0, most = 0;
    std::printf("drk20vt5p: the drill's review\n");
    for (const ReviewGoal& g : Review.goals) {
        most += g.points;
        if (g.met) score += g.points;
        std::printf("  %s %s (%u points)%s%s\n", g.met ? "met" : "not met", g.text.c_str(),
                    g.points, g.met ? " at " : "", g.met ? TickTimeText(g.tick).c_str() : "");
    }
    std::printf("  score %llu of %llu", static_cast<unsigned long long>(score),
                static_cast<unsigned long long>(most));
    if (Review.passSet) {
        std::printf(", %llu to pass: %s", static_cast<unsigned long long>(Review.passMark),
                    score >= Review.passMark ? "passed" : "failed");
    }
    std::printf("\n");
    if (!record.empty()) {
        const std::string path = record + ".html";
        const std::string html = ReviewHtml(std::vector<ReviewSession>{Review});
        std::FILE* f = std::fopen(path.c_str(), "wb");
        const bool ok = f && std::fwrite(html.data(), 1, html.size(), f) == html.size();
        if (f && std::fclose(f) != 0) f = nullptr;
        std::printf(ok && f ? "  the review page: %s\n" : "  %s: could not be written\n",
                    path.c_str());
    }
    std::fflush(stdout);
}
