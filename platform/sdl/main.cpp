// The desktop simulator: the instrument's front panel in a fixed window.
//
// The window's behaviour is the core's shell logic: creation powers the instrument on and
// initialises the LCD view; every 100 ms tick runs the host tick and redraws; an expose
// redraws; either mouse button down is the button hit test, either button up releases MODE;
// keys and mouse movement do nothing. The firmware is a fiber of this thread.
#include <SDL.h>

#include <cstdio>
#include <cstring>

#include "sdl_sound.h"
#include "simulator.h"

namespace {

// Microseconds of a steady clock.
int64_t NowUs() {
    return static_cast<int64_t>(SDL_GetPerformanceCounter() * 1000000.0 /
                                static_cast<double>(SDL_GetPerformanceFrequency()));
}

SDL_Renderer* Renderer = nullptr;
SDL_Texture* Texture = nullptr;

// Composes the panel and puts the finished frame into the window in one operation.
void Redraw() {
    SDL_UpdateTexture(Texture, nullptr, SimFrame(), SimFrameWidth() * 4);
    SDL_RenderCopy(Renderer, Texture, nullptr, nullptr);
    SDL_RenderPresent(Renderer);
}

int Fail(const char* what) {
    std::fprintf(stderr, "drk20vt5p: cannot start: %s: %s\n", what, SDL_GetError());
    SDL_Quit();
    return 1;
}

}  // namespace

int main(int, char**) {
    // A button released outside the window leaves MODE held, as on the original platform.
    SDL_SetHint(SDL_HINT_MOUSE_AUTO_CAPTURE, "0");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) return Fail("no display");
    // Without a display SDL falls back to a window nobody can see; unless that was asked
    // for, that is a failure to start.
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    if (driver && (!asked || !*asked) &&
        (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
        SDL_SetError("no X11 or Wayland display found (DISPLAY, WAYLAND_DISPLAY)");
        return Fail("no display");
    }

    SDL_Window* window =
        SDL_CreateWindow("DRK-20VT5P", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                         SimFrameWidth(), SimFrameHeight(), 0);
    if (!window) return Fail("no window");
    Renderer = SDL_CreateRenderer(window, -1, 0);
    if (!Renderer) Renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    if (!Renderer) return Fail("no renderer");
    Texture = SDL_CreateTexture(Renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                SimFrameWidth(), SimFrameHeight());
    if (!Texture) return Fail("no texture");

    if (OpenSdlSound()) {
        SimSetSoundService(SdlSoundService);
    } else {
        std::fprintf(stderr, "drk20vt5p: no audio device (%s); the instrument is silent\n",
                     SDL_GetError());
    }

    // Window creation: power-on, the LCD view, the 100 ms timer.
    SimStart();
    Redraw();
    int64_t due = NowUs() + TickPeriodUs;

    for (;;) {
        const int64_t now = NowUs();
        if (now >= due) {
            SimTick();
            Redraw();
            due = NextTickDue(due, NowUs());
            continue;
        }
        SDL_Event event;
        const int waitMs = static_cast<int>((due - now + 999) / 1000);
        if (!SDL_WaitEventTimeout(&event, waitMs)) continue;
        switch (event.type) {
            case SDL_QUIT:
                CloseSdlSound();
                SDL_Quit();
                return 0;
            case SDL_WINDOWEVENT:
                if (event.window.event == SDL_WINDOWEVENT_EXPOSED) Redraw();
                break;
            case SDL_MOUSEBUTTONDOWN:
                if (event.button.button == SDL_BUTTON_LEFT ||
                    event.button.button == SDL_BUTTON_RIGHT) {
                    SimMouseDown(event.button.x, event.button.y);
                }
                break;
            case SDL_MOUSEBUTTONUP:
                if (event.button.button == SDL_BUTTON_LEFT ||
                    event.button.button == SDL_BUTTON_RIGHT) {
                    SimMouseUp();
                }
                break;
            default:
                break;  // keys and mouse movement do nothing
        }
    }
}
