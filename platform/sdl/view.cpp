#include "view.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "artwork.h"
#include "captions.h"
#include "help_text.h"
#include "i18n.h"
#include "simulator.h"
#include "ui_font.h"

namespace {

SDL_Window* Window = nullptr;
SDL_Renderer* Renderer = nullptr;
SDL_Texture* Texture = nullptr;
SDL_Cursor* HandCursor = nullptr;
SDL_Cursor* ArrowCursor = nullptr;
bool HandShown = false;

int Scale = 1;       // panel pixels to window (output) pixels
int PixelRatio = 1;  // output pixels per window point (2 on a doubled desktop)
LcdLook Look = LcdLook::Design;
int32_t PanelW = 0, PanelH = 0;  // the panel at 1x

std::vector<uint32_t> Frame;       // the last frame taken, 1x
std::vector<uint32_t> Background;  // the panel picture at the scale (empty at 1x)
std::vector<uint32_t> Out;         // the composed window image

uint32_t Mix(uint32_t a, uint32_t b, int bWeight256) {
    const int aw = 256 - bWeight256;
    uint32_t out = 0xFF000000u;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int ca = static_cast<int>(a >> shift & 0xFF),
                  cb = static_cast<int>(b >> shift & 0xFF);
        out |= static_cast<uint32_t>((ca * aw + cb * bWeight256) >> 8) << shift;
    }
    return out;
}

int Luma(uint32_t c) {
    return (299 * static_cast<int>(c >> 16 & 0xFF) + 587 * static_cast<int>(c >> 8 & 0xFF) +
            114 * static_cast<int>(c & 0xFF)) /
           1000;
}

// The panel picture at the scale: the carried vector rendering at 2 and 3, the 2x one
// doubled at 4, the 1x frame enlarged when nothing else is carried.
void BuildBackground() {
    Background.clear();
    if (Scale == 1) return;
    const int source = Scale == 4 ? 2 : Scale;
    const Picture picture = CarriedPanel(source);
    const int W = PanelW * Scale, H = PanelH * Scale;
    Background.resize(static_cast<size_t>(W) * static_cast<size_t>(H));
    const bool usable =
        !picture.Empty() && picture.width == PanelW * source && picture.height == PanelH * source;
    const int factor = usable ? Scale / source : Scale;
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            Background[static_cast<size_t>(y) * W + x] =
                usable
                    ? picture.pixels[static_cast<size_t>(y / factor) * picture.width + x / factor] |
                          0xFF000000u
                    : Frame[static_cast<size_t>(y / Scale) * PanelW + x / Scale];
        }
    }
}

// The LCD window at the scale: each pixel of the core's 1x drawing as a block (the design's
// look) or as a dot with a thin gap on the frame colour, the unlit dots faint, and a glass
// highlight over the top (the real look).
void DrawLcd() {
    int32_t box[4];
    SimLcdBox(box);
    const int W = PanelW * Scale;
    const uint32_t frameColour = Frame[static_cast<size_t>(box[1]) * PanelW + box[0]];
    const bool real = Look == LcdLook::Real && Scale >= 2;
    const int boxHeight = (box[3] - box[1]) * Scale;
    for (int32_t py = box[1]; py < box[3]; ++py) {
        for (int32_t px = box[0]; px < box[2]; ++px) {
            const uint32_t p = Frame[static_cast<size_t>(py) * PanelW + px];
            uint32_t dot = p, gap = p;
            if (real && p != frameColour) {
                const bool ink = Luma(p) * 2 < Luma(frameColour);
                dot = ink ? Mix(p, frameColour, 30) : Mix(frameColour, p, 90);
                gap = Scale == 2 ? Mix(dot, frameColour, ink ? 80 : 150) : frameColour;
            }
            for (int dy = 0; dy < Scale; ++dy) {
                uint32_t* row = &Out[static_cast<size_t>(py * Scale + dy) * W + px * Scale];
                for (int dx = 0; dx < Scale; ++dx) {
                    row[dx] = (dx == Scale - 1 || dy == Scale - 1) ? gap : dot;
                }
            }
        }
    }
    if (!real) return;
    // The glass: a soft highlight fading out over the upper third, a bright top edge.
    for (int y = 0; y < boxHeight / 3; ++y) {
        const int weight = y == 0 ? 90 : 40 - 40 * y / (boxHeight / 3);
        uint32_t* row = &Out[static_cast<size_t>(box[1] * Scale + y) * W + box[0] * Scale];
        for (int x = 0; x < (box[2] - box[0]) * Scale; ++x) {
            row[x] = Mix(row[x], 0xFFFFFFFFu, weight);
        }
    }
}

// A held button: its cap sunk by one panel pixel down and to the right, darker, with a
// shadow along the top and left inner edges.
void DrawPressed(SimButton button) {
    int32_t box[4];
    SimButtonBox(button, box);
    const int W = PanelW * Scale;
    const std::vector<uint32_t>& base = Scale == 1 ? Frame : Background;
    const int left = (box[0] + 1) * Scale, top = (box[1] + 1) * Scale;
    const int right = box[2] * Scale, bottom = box[3] * Scale;  // the outline's inner edge
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            const int sx = std::max(left, x - Scale), sy = std::max(top, y - Scale);
            uint32_t c = Mix(base[static_cast<size_t>(sy) * W + sx], 0xFF000000u, 70);
            const int edge = std::min(x - left, y - top);
            if (edge < 2 * Scale) c = Mix(c, 0xFF000000u, edge < Scale ? 110 : 55);
            Out[static_cast<size_t>(y) * W + x] = c;
        }
    }
}

// The help over the panel dimmed, its text the largest whole size whose lines fit the window.
void DrawHelp() {
    const int W = PanelW * Scale, H = PanelH * Scale;
    for (uint32_t& p : Out) p = Mix(p, 0xFF0A0E16u, 215);
    const int margin = 6 * Scale;
    for (int size = Scale + 1; size >= 1; --size) {
        std::vector<std::string> lines;
        for (int i = 0; i < HelpParagraphCount; ++i) {
            const char* paragraph = HelpParagraphs[i];
            for (const std::string& line : UiWrap(Tr(paragraph), (W - 2 * margin) / size)) {
                lines.push_back(line);
            }
            lines.emplace_back();
        }
        const int lineHeight = UiFontHeight * size;
        const int height = static_cast<int>(lines.size()) * lineHeight;
        bool fits = height <= H - 2 * margin || size == 1;
        for (const std::string& line : lines) {
            fits = fits && (UiTextWidth(line) * size <= W - 2 * margin || size == 1);
        }
        if (!fits) continue;
        int y = std::max(margin, (H - height) / 2);
        for (const std::string& line : lines) {
            UiDrawText(Out, W, H, margin, y, size, line, 0xFFEBF0F5u);
            y += lineHeight;
        }
        return;
    }
}

// The largest whole scale at which the panel fits the screen's usable area.
int ScaleForScreen() {
    int scale = MaxScale;
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) == 0) {
        while (scale > 1 && (PanelW * scale > usable.w || PanelH * scale > usable.h)) --scale;
    }
    return scale;
}

bool Fail(const char* what) {
    std::fprintf(stderr, "drk20vt5p: cannot start: %s: %s\n", what, SDL_GetError());
    return false;
}

}  // namespace

bool OpenView(int scale, LcdLook look) {
    PanelW = SimFrameWidth();
    PanelH = SimFrameHeight();
    Frame.assign(static_cast<size_t>(PanelW) * static_cast<size_t>(PanelH), 0xFF000000u);
    Look = look;
    Scale = scale != 0 ? scale : ScaleForScreen();
    const int W = PanelW * Scale, H = PanelH * Scale;

    // The outer rectangle centred on the desktop as the original window placed it; the
    // frame's size is known only once the window is shown.
    SDL_Rect desk{0, 0, W, H};
    SDL_GetDisplayBounds(0, &desk);
    const int x = desk.x + desk.w / 2 - W / 2, y = desk.y + desk.h / 2 - H / 2;
    Window =
        SDL_CreateWindow("DRK-20VT5P", x, y, W, H, SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI);
    if (!Window) return Fail("no window");
    Renderer = SDL_CreateRenderer(Window, -1, 0);
    if (!Renderer) Renderer = SDL_CreateRenderer(Window, -1, SDL_RENDERER_SOFTWARE);
    if (!Renderer) return Fail("no renderer");
    // A desktop that doubles its points already: the window takes fewer points.
    int outW = W, outH = H;
    SDL_GetRendererOutputSize(Renderer, &outW, &outH);
    PixelRatio = std::max(1, outW / W);
    if (PixelRatio > 1) {
        SDL_SetWindowSize(Window, (W + PixelRatio - 1) / PixelRatio,
                          (H + PixelRatio - 1) / PixelRatio);
    }
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");  // crisp pixels if it is stretched
    Texture =
        SDL_CreateTexture(Renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, W, H);
    if (!Texture) return Fail("no texture");

    Picture icon = CarriedIcon();
    if (!icon.Empty()) {
        SDL_Surface* surface =
            SDL_CreateRGBSurfaceWithFormatFrom(icon.pixels.data(), icon.width, icon.height, 32,
                                               icon.width * 4, SDL_PIXELFORMAT_ARGB8888);
        if (surface) {
            SDL_SetWindowIcon(Window, surface);
            SDL_FreeSurface(surface);
        }
    }
    HandCursor = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_HAND);
    ArrowCursor = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);

    Out.assign(static_cast<size_t>(W) * static_cast<size_t>(H), 0xFF000000u);
    SDL_ShowWindow(Window);
    int top = 0, left = 0;
    if (SDL_GetWindowBordersSize(Window, &top, &left, nullptr, nullptr) == 0 &&
        (top != 0 || left != 0)) {
        SDL_SetWindowPosition(Window, x + left, y + top);
    }
    return true;
}

void CloseView() {
    if (HandCursor) SDL_FreeCursor(HandCursor);
    if (ArrowCursor) SDL_FreeCursor(ArrowCursor);
    if (Texture) SDL_DestroyTexture(Texture);
    if (Renderer) SDL_DestroyRenderer(Renderer);
    if (Window) SDL_DestroyWindow(Window);
    HandCursor = ArrowCursor = nullptr;
    Texture = nullptr;
    Renderer = nullptr;
    Window = nullptr;
}

int ViewScale() {
    return Scale;
}

bool ViewPanelAt(int x, int y, int32_t* px, int32_t* py) {
    int w = 0, h = 0;
    SDL_GetWindowSize(Window, &w, &h);
    if (x < 0 || y < 0 || x >= w || y >= h) return false;
    *px = x * PixelRatio / Scale;
    *py = y * PixelRatio / Scale;
    return true;
}

bool ViewPointerInside() {
    int px = 0, py = 0, wx = 0, wy = 0, w = 0, h = 0;
    SDL_GetGlobalMouseState(&px, &py);
    SDL_GetWindowPosition(Window, &wx, &wy);
    SDL_GetWindowSize(Window, &w, &h);
    return px >= wx && py >= wy && px < wx + w && py < wy + h;
}

void ViewTakeFrame(const uint32_t* frame) {
    const bool first = Background.empty() && Scale > 1;
    std::memcpy(Frame.data(), frame, Frame.size() * sizeof(uint32_t));
    if (first) BuildBackground();
}

void ViewShow(const PanelLook& look) {
    const int W = PanelW * Scale;
    if (Scale == 1) {
        Out = Frame;
    } else {
        Out = Background;
        DrawLcd();
    }
    for (SimButton b : {SimPower, SimMode}) {
        if (look.pressed[b]) DrawPressed(b);
    }
    DrawCaptions(Out, W, PanelH * Scale, Scale);
    if (look.help) DrawHelp();
    SDL_UpdateTexture(Texture, nullptr, Out.data(), W * 4);
    SDL_RenderClear(Renderer);
    SDL_RenderCopy(Renderer, Texture, nullptr, nullptr);
    SDL_RenderPresent(Renderer);
}

void ViewPointerOverButton(bool over) {
    if (over == HandShown) return;
    HandShown = over;
    SDL_SetCursor(over ? HandCursor : ArrowCursor);
}
