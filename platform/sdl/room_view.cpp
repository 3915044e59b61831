#include "room_view.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "i18n.h"
#include "scenario.h"
#include "session.h"
#include "simulator.h"
#include "ui_font.h"
#include "view.h"

namespace {

// The view's words, in one place, in English (Tr gives them in the chosen language); {w},
// {h}, {x} and {y} are filled in when they are drawn.
const struct {
    const char* title;       // above the plan
    const char* detector;    // under it, the instrument's position
    const char* hint;        // under the plan
    const char* hiddenNote;  // when some sources are hidden
    const char* kinds[3];    // the legend, by SimSourceKind
} Words = {Word("Room {w} m × {h} m, grid 1 m."),
           Word("The instrument is at {x} m, {y} m"),
           Word("Drag the ring or use the arrow keys (Shift: 1 cm); R hides the room."),
           Word("Some sources are hidden."),
           {Word("gamma"), Word("beta"), Word("alpha")}};

constexpr int32_t ArrowStep = 100;     // mm a press
constexpr int32_t FineArrowStep = 10;  // mm with Shift
constexpr int Margin = 10;             // panel pixels around the plan

bool AutoOpened = false;  // opened once by a script's first source
bool Dragging = false;
bool MovePending = false;
int32_t Wanted[2] = {0, 0};  // the hand's position, mm, shown at once, given at the tick

// Where the plan lies in window points and how many points a metre takes.
struct Plan {
    double left, top, perMetre;
};

int32_t Room[2];

// The hint's lines and the legend's (the kinds, then the note on hidden sources beside them or
// on a line of its own), wrapped to the view's width in font pixels.
std::vector<std::string> HintLines(int width) {
    return UiWrap(Tr(Words.hint), width);
}

int KindsWidth() {
    int width = 0;
    for (const char* kind : Words.kinds) width += 12 + UiTextWidth(Tr(kind));
    return width;
}

bool NoteBesideKinds(int width) {
    return KindsWidth() + UiTextWidth(Tr(Words.hiddenNote)) <= width;
}

// The lines of text under the plan.
int LinesUnder(int width) {
    return static_cast<int>(HintLines(width).size()) + (NoteBesideKinds(width) ? 1 : 2);
}

Plan PlanIn(const SDL_Rect& area, int scale) {
    SimRoomSize(Room);
    const double m = Margin * scale;
    const int line = UiFontHeight * scale;
    const int under = LinesUnder((area.w - 2 * Margin * scale) / scale);
    const double w = area.w - 2 * m, h = area.h - 2 * m - (2 + under) * line;
    const double per = std::min(w / (Room[0] / 1000.0), h / (Room[1] / 1000.0));
    return Plan{area.x + m + (w - per * Room[0] / 1000.0) / 2, area.y + m + 2 * line, per};
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

// Draws UTF-8 `text` in the interface font with its top left at (x, y), each font pixel a
// scale × scale block of the renderer's draw colour.
void Text(SDL_Renderer* r, int x, int y, int scale, const std::string& text) {
    const int w = UiTextWidth(text) * scale, h = UiFontHeight * scale;
    if (w <= 0) return;
    // White on black: each pixel's red is its coverage, which becomes the texture's alpha.
    std::vector<uint32_t> image(static_cast<size_t>(w) * static_cast<size_t>(h), 0xFF000000u);
    UiDrawText(image, w, h, 0, 0, scale, text, 0xFFFFFFFFu);
    Uint8 red = 0, green = 0, blue = 0, alpha = 0;
    SDL_GetRenderDrawColor(r, &red, &green, &blue, &alpha);
    const uint32_t colour = static_cast<uint32_t>(red) << 16 | static_cast<uint32_t>(green) << 8 |
                            static_cast<uint32_t>(blue);
    for (uint32_t& p : image) p = (p >> 16 & 0xFFu) << 24 | colour;
    SDL_Texture* texture =
        SDL_CreateTexture(r, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, w, h);
    if (!texture) return;
    SDL_UpdateTexture(texture, nullptr, image.data(), w * 4);
    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
    const SDL_Rect to{x, y, w, h};
    SDL_RenderCopy(r, texture, nullptr, &to);
    SDL_DestroyTexture(texture);
}

// `text` with each {key} replaced by its value.
std::string Fill(std::string text,
                 std::initializer_list<std::pair<const char*, std::string>> values) {
    for (const auto& [key, value] : values) {
        const std::string mark = std::string("{") + key + "}";
        const size_t at = text.find(mark);
        if (at != std::string::npos) text.replace(at, mark.size(), value);
    }
    return text;
}

std::string Metres(int32_t mm) {
    char text[24];
    // A decimal comma in Russian.
    std::snprintf(text, sizeof text, Russian() ? "%d,%02d" : "%d.%02d", mm / 1000, mm % 1000 / 10);
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

    const int line = UiFontHeight * scale;
    const int left = area.x + Margin * scale;
    const int width = (area.w - 2 * Margin * scale) / scale;  // font pixels
    const int top = area.y + Margin * scale / 2;
    Text(r, left, top, scale,
         Fill(Tr(Words.title), {{"w", Metres(Room[0])}, {"h", Metres(Room[1])}}));
    Text(r, left, top + line, scale,
         Fill(Tr(Words.detector), {{"x", Metres(at[0])}, {"y", Metres(at[1])}}));
    const std::vector<std::string> hint = HintLines(width);
    const bool beside = NoteBesideKinds(width);
    int y = area.y + area.h - Margin * scale / 2 - LinesUnder(width) * line;
    int x = left;
    for (int k = 0; k < 3; ++k) {
        const SDL_Color c = KindColour[k];
        SDL_SetRenderDrawColor(r, c.r, c.g, c.b, 255);
        SDL_Rect key{x, y + (line - 5 * scale) / 2, 5 * scale, 5 * scale};
        SDL_RenderFillRect(r, &key);
        SDL_SetRenderDrawColor(r, 20, 20, 20, 255);
        Text(r, x + 7 * scale, y, scale, Tr(Words.kinds[k]));
        x += (12 + UiTextWidth(Tr(Words.kinds[k]))) * scale;
    }
    if (!beside) {
        x = left;
        y += line;
    }
    if (hidden) Text(r, x, y, scale, Tr(Words.hiddenNote));
    for (const std::string& text : hint) {
        y += line;
        Text(r, left, y, scale, text);
    }
}
