#include "room_view.h"

#include <stb/stb_easy_font.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "scenario.h"
#include "session.h"
#include "simulator.h"
#include "view.h"

namespace {

// The view's words, in one place.
const struct {
    const char* title;       // above the plan
    const char* detector;    // before the instrument's position
    const char* hint;        // under the plan
    const char* hiddenNote;  // when some sources are hidden
    const char* kinds[3];    // the legend, by SimSourceKind
} Words = {"ROOM %s x %s m, GRID 1 m",
           "INSTRUMENT %s, %s m",
           "DRAG OR ARROWS (SHIFT: FINE)  R: HIDE",
           "+ HIDDEN SOURCES",
           {"GAMMA", "BETA", "ALPHA"}};

constexpr int32_t ArrowStep = 100;     // mm a press
constexpr int32_t FineArrowStep = 10;  // mm with Shift
constexpr int Margin = 10;             // panel pixels around the plan
constexpr int TextLine = 11;           // stb_easy_font's line height

bool AutoOpened = false;  // opened once by a script's first source
bool Dragging = false;
bool MovePending = false;
int32_t Wanted[2] = {0, 0};  // the hand's position, mm, shown at once, given at the tick

// Where the plan lies in window points and how many points a metre takes.
struct Plan {
    double left, top, perMetre;
};

int32_t Room[2];

Plan PlanIn(const SDL_Rect& area, int scale) {
    SimRoomSize(Room);
    const double m = Margin * scale;
    const double w = area.w - 2 * m, h = area.h - 2 * m - 3 * TextLine * scale;
    const double per = std::min(w / (Room[0] / 1000.0), h / (Room[1] / 1000.0));
    return Plan{area.x + m + (w - per * Room[0] / 1000.0) / 2, area.y + m + 2 * TextLine * scale,
                per};
}

void Clamp(int32_t* p) {
    SimRoomSize(Room);
    p[0] = std::clamp(p[0], 0, Room[0]);
    p[1] = std::clamp(p[1], 0, Room[1]);
}

// The hand at window point (x, y) of the plan.
void WantAt(int x, int y) {
    const int ratio = ViewPixelRatio();
    const SDL_Rect a = ViewRoomArea();
    const Plan plan =
        PlanIn(SDL_Rect{a.x * ratio, a.y * ratio, a.w * ratio, a.h * ratio}, ViewScale());
    Wanted[0] = static_cast<int32_t>((x * ratio - plan.left) / plan.perMetre * 1000.0 + 0.5);
    Wanted[1] = static_cast<int32_t>((y * ratio - plan.top) / plan.perMetre * 1000.0 + 0.5);
    Clamp(Wanted);
    MovePending = true;
}

bool OnPlan(int x, int y) {
    if (!ViewRoomShown()) return false;
    const SDL_Rect a = ViewRoomArea();
    return x >= a.x && y >= a.y && x < a.x + a.w && y < a.y + a.h;
}

void Text(SDL_Renderer* r, int x, int y, int scale, const char* text) {
    static char buffer[40000];
    const int quads =
        stb_easy_font_print(0, 0, const_cast<char*>(text), nullptr, buffer, sizeof buffer);
    std::vector<SDL_Rect> rects;
    for (int q = 0; q < quads; ++q) {
        float v[16];
        std::memcpy(v, buffer + q * 64, sizeof v);
        rects.push_back(
            SDL_Rect{x + static_cast<int>(v[0]) * scale, y + static_cast<int>(v[1]) * scale,
                     static_cast<int>(v[8] - v[0]) * scale, static_cast<int>(v[9] - v[1]) * scale});
    }
    SDL_RenderFillRects(r, rects.data(), static_cast<int>(rects.size()));
}

std::string Metres(int32_t mm) {
    char text[24];
    std::snprintf(text, sizeof text, "%d.%02d", mm / 1000, mm % 1000 / 10);
    return text;
}

void ThickLine(SDL_Renderer* r, double x1, double y1, double x2, double y2, int width) {
    for (int dx = -width / 2; dx <= width / 2; ++dx) {
        for (int dy = -width / 2; dy <= width / 2; ++dy) {
            SDL_RenderDrawLine(r, static_cast<int>(x1) + dx, static_cast<int>(y1) + dy,
                               static_cast<int>(x2) + dx, static_cast<int>(y2) + dy);
        }
    }
}

// Colours of the kinds, by SimSourceKind: gamma red, beta blue, alpha green.
const SDL_Color KindColour[] = {{200, 40, 40, 255}, {40, 90, 210, 255}, {30, 150, 60, 255}};

}  // namespace

bool RoomViewEvent(const SDL_Event& event) {
    switch (event.type) {
        case SDL_KEYDOWN: {
            const SDL_Keycode sym = event.key.keysym.sym;
            if (sym == SDLK_r && event.key.repeat == 0) {
                ViewShowRoom(!ViewRoomShown());
                AutoOpened = true;  // the person decides from now on
                return true;
            }
            if (!ViewRoomShown()) return false;
            const int32_t step =
                (event.key.keysym.mod & KMOD_SHIFT) != 0 ? FineArrowStep : ArrowStep;
            int32_t d[2] = {0, 0};
            if (sym == SDLK_LEFT) d[0] = -step;
            if (sym == SDLK_RIGHT) d[0] = step;
            if (sym == SDLK_UP) d[1] = -step;
            if (sym == SDLK_DOWN) d[1] = step;
            if (d[0] == 0 && d[1] == 0) return false;
            if (!MovePending) SimDetectorAt(Wanted);
            Wanted[0] += d[0];
            Wanted[1] += d[1];
            Clamp(Wanted);
            MovePending = true;
            return true;
        }
        case SDL_KEYUP: {
            const SDL_Keycode sym = event.key.keysym.sym;
            return ViewRoomShown() && (sym == SDLK_r || sym == SDLK_LEFT || sym == SDLK_RIGHT ||
                                       sym == SDLK_UP || sym == SDLK_DOWN);
        }
        case SDL_MOUSEBUTTONDOWN:
            if (event.button.button != SDL_BUTTON_LEFT || !OnPlan(event.button.x, event.button.y))
                return false;
            Dragging = true;
            WantAt(event.button.x, event.button.y);
            return true;
        case SDL_MOUSEMOTION:
            if (!Dragging) return false;
            WantAt(event.motion.x, event.motion.y);
            return true;
        case SDL_MOUSEBUTTONUP:
            if (!Dragging || event.button.button != SDL_BUTTON_LEFT) return false;
            Dragging = false;
            return true;
        default:
            return false;
    }
}

bool RoomViewTick() {
    bool repaint = false;
    if (!AutoOpened && SimSourceCount() > 0) {
        AutoOpened = true;
        if (!ViewRoomShown()) ViewShowRoom(true);
        repaint = true;
    }
    if (!MovePending) return repaint;
    MovePending = false;
    int32_t now[2];
    SimDetectorAt(now);
    if (now[0] == Wanted[0] && now[1] == Wanted[1]) return repaint;
    if (SimMoveDetector(Wanted[0], Wanted[1])) {
        Step step{};
        step.kind = StepKind::Move;
        step.pos[0] = Wanted[0];
        step.pos[1] = Wanted[1];
        RecordStep(FormatStep(step));
    }
    return true;
}

void RoomViewDraw(SDL_Renderer* r, const SDL_Rect& area, int scale) {
    SDL_SetRenderDrawBlendMode(r, SDL_BLENDMODE_NONE);
    SDL_SetRenderDrawColor(r, 236, 234, 226, 255);
    SDL_RenderFillRect(r, &area);
    const Plan plan = PlanIn(area, scale);
    auto X = [&](int32_t mm) { return plan.left + mm / 1000.0 * plan.perMetre; };
    auto Y = [&](int32_t mm) { return plan.top + mm / 1000.0 * plan.perMetre; };

    // The floor with a line every metre.
    SDL_Rect floor{static_cast<int>(X(0)), static_cast<int>(Y(0)),
                   static_cast<int>(Room[0] / 1000.0 * plan.perMetre) + 1,
                   static_cast<int>(Room[1] / 1000.0 * plan.perMetre) + 1};
    SDL_SetRenderDrawColor(r, 255, 255, 250, 255);
    SDL_RenderFillRect(r, &floor);
    SDL_SetRenderDrawColor(r, 222, 222, 214, 255);
    for (int32_t m = 1000; m < Room[0]; m += 1000)
        SDL_RenderDrawLine(r, static_cast<int>(X(m)), floor.y, static_cast<int>(X(m)),
                           floor.y + floor.h - 1);
    for (int32_t m = 1000; m < Room[1]; m += 1000)
        SDL_RenderDrawLine(r, floor.x, static_cast<int>(Y(m)), floor.x + floor.w - 1,
                           static_cast<int>(Y(m)));
    SDL_SetRenderDrawColor(r, 60, 60, 60, 255);
    SDL_RenderDrawRect(r, &floor);

    // Walls, darker the more they stop.
    for (int i = 0; i < SimWallCount(); ++i) {
        SimRoomWall w;
        SimWallAt(i, &w);
        const int shade = static_cast<int>(150 * w.transmission / SimTransmissionFull);
        SDL_SetRenderDrawColor(r, static_cast<Uint8>(shade), static_cast<Uint8>(shade),
                               static_cast<Uint8>(shade + 20), 255);
        ThickLine(r, X(w.x1), Y(w.y1), X(w.x2), Y(w.y2), 2 * scale + 1);
    }

    // The sources that are shown, with their names.
    bool hidden = false;
    for (int i = 0; i < SimSourceCount(); ++i) {
        SimRoomSource s;
        SimSourceAt(i, &s);
        if (s.hidden) {
            hidden = true;
            continue;
        }
        const SDL_Color c = KindColour[s.kind % 3];
        SDL_SetRenderDrawColor(r, c.r, c.g, c.b, 255);
        const int half = 3 * scale;
        SDL_Rect box{static_cast<int>(X(s.x)) - half, static_cast<int>(Y(s.y)) - half, 2 * half + 1,
                     2 * half + 1};
        SDL_RenderFillRect(r, &box);
        Text(r, box.x + box.w + scale, box.y, scale, s.name);
    }

    // The instrument: a ring with a cross, where the hand has it.
    int32_t at[2];
    if (MovePending) {
        at[0] = Wanted[0];
        at[1] = Wanted[1];
    } else {
        SimDetectorAt(at);
    }
    const int cx = static_cast<int>(X(at[0])), cy = static_cast<int>(Y(at[1]));
    const int radius = 5 * scale;
    SDL_SetRenderDrawColor(r, 20, 20, 20, 255);
    for (int a = 0; a < 64; ++a) {
        const double t = a * 6.283185307179586 / 64;
        for (int k = 0; k < scale; ++k)
            SDL_RenderDrawPoint(r, cx + static_cast<int>((radius - k) * std::cos(t)),
                                cy + static_cast<int>((radius - k) * std::sin(t)));
    }
    SDL_RenderDrawLine(r, cx - radius - 2 * scale, cy, cx + radius + 2 * scale, cy);
    SDL_RenderDrawLine(r, cx, cy - radius - 2 * scale, cx, cy + radius + 2 * scale);

    char line[96];
    const int left = area.x + Margin * scale;
    std::snprintf(line, sizeof line, Words.title, Metres(Room[0]).c_str(), Metres(Room[1]).c_str());
    Text(r, left, area.y + Margin * scale / 2, scale, line);
    std::snprintf(line, sizeof line, Words.detector, Metres(at[0]).c_str(), Metres(at[1]).c_str());
    Text(r, left, area.y + Margin * scale / 2 + TextLine * scale, scale, line);
    const int bottom = area.y + area.h - Margin * scale / 2 - TextLine * scale;
    Text(r, left, bottom, scale, Words.hint);
    int x = left;
    for (int k = 0; k < 3; ++k) {
        const SDL_Color c = KindColour[k];
        SDL_SetRenderDrawColor(r, c.r, c.g, c.b, 255);
        SDL_Rect key{x, bottom - TextLine * scale, 5 * scale, 5 * scale};
        SDL_RenderFillRect(r, &key);
        SDL_SetRenderDrawColor(r, 20, 20, 20, 255);
        Text(r, x + 7 * scale, key.y - scale, scale, Words.kinds[k]);
        x += (12 + stb_easy_font_width(const_cast<char*>(Words.kinds[k]))) * scale;
    }
    if (hidden) Text(r, x, bottom - TextLine * scale - scale, scale, Words.hiddenNote);
}
