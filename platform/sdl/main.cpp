// The desktop simulator: the instrument's front panel in a window.
//
// The window's behaviour is the core's shell logic: creation powers the instrument on and
// initialises the LCD view; every 100 ms tick runs the host tick and redraws; an expose
// redraws; either mouse button down is the button hit test, either button up inside the
// window releases MODE. On top of that: the buttons drawn pressed while held, keys (P, M or
// Space, F1 or ?; S, + and - for the sound, C for captions), an integer scale, the window's
// words in English or Russian, and sessions recorded and played. The firmware is a
// fiber of this thread.
#include <SDL.h>

#include <cstdio>
#include <string>

#include "app_options.h"
#include "captions.h"
#include "drill.h"
#include "i18n.h"
#include "input.h"
#include "output_file.h"
#include "room_view.h"
#include "sdl_sound.h"
#include "session.h"
#include "simulator.h"
#include "stop_signals.h"
#include "view.h"

namespace {

// How long a start waits for a display server that refuses connections for a moment: one
// that is still starting, or resetting because its last client has just left.
constexpr int DisplayAttempts = 20;
constexpr Uint32 DisplayRetryMs = 100;
// The fast-forward of a start script looks for a close or a stop signal this often.
constexpr uint32_t FastForwardPollTicks = 4096;

// Microseconds of a steady clock.
int64_t NowUs() {
    return static_cast<int64_t>(SDL_GetPerformanceCounter() * 1000000.0 /
                                static_cast<double>(SDL_GetPerformanceFrequency()));
}

bool InitVideo() {
    // Only a real display will do: SDL's invisible fallbacks ("offscreen", "dummy") are
    // used only when SDL_VIDEODRIVER asks for them (it takes precedence over this hint).
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11,wayland");
    const char* display = SDL_getenv("DISPLAY");
    const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
    const bool named = (display && *display) || (wayland && *wayland);
    for (int attempt = 1;; ++attempt) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
        if (!named || attempt == DisplayAttempts) break;
        SDL_Delay(DisplayRetryMs);
    }
    std::fprintf(stderr,
                 "drk20vt5p: cannot start: no display (DISPLAY=%s, WAYLAND_DISPLAY=%s): %s\n",
                 display ? display : "", wayland ? wayland : "", SDL_GetError());
    return false;
}

void Show() {
    ViewShow(CurrentLook());
}

// While a sound holds the tick: the window keeps taking input and repainting.
void WhileSoundHolds() {
    SDL_Event event;
    bool repaint = false;
    while (SDL_PollEvent(&event)) repaint |= HandleEvent(event);
    if (repaint) Show();
}

// The sound service: the captions hear what the sound holds as it starts, then it plays.
bool SoundDevice = false;
void CaptionedSound(const uint8_t* wav, uint32_t bytes) {
    SimSoundReport report;
    SimPlayedSound(&report);
    CaptionsHeard(report);
    if (CaptionsShown()) Show();
    if (SoundDevice) SdlSoundService(wav, bytes);
}

void RunTick() {
    HoldInput(true);
    SimTick();
    CaptionsTick();
    HoldInput(false);
    RecordTick();
    DrillTick();
}

struct Script {
    ScenarioPlayer player;
    bool playing = false;
    bool failed = false;
    bool sayEnd = false;  // say when it has ended (the --script one, played in the window)
};

// Plays up to the script's next tick; false once the script has ended or failed.
bool Advance(Script& script) {
    if (!script.playing) return false;
    const ScenarioAction action = PlayScript(script.player);
    if (action.kind == ScenarioAction::Tick) return true;
    script.playing = false;
    if (action.kind == ScenarioAction::Failed) script.failed = true;
    if (action.kind == ScenarioAction::Done && script.sayEnd) {
        std::printf("drk20vt5p: script ended at tick %llu; you have the instrument\n",
                    static_cast<unsigned long long>(script.player.tick));
        std::fflush(stdout);
    }
    return false;
}

// Whether the window was closed or a stop signal came, seen without taking the events that
// are queued for later (a click during the fast-forward is handled when it is over).
bool StopAsked() {
    SDL_PumpEvents();
    return StopSignal != 0 || SDL_HasEvent(SDL_QUIT) || QuitRequested();
}

// The exit code: a stop signal's, then a write failure (4), then a failed script (1).
int ExitCode(bool failed) {
    if (StopSignal != 0) return 128 + StopSignal;
    if (SessionWriteFailed()) return 4;
    return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    AppOptions options;
    std::string error;
    if (!ParseAppOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "drk20vt5p: %s\n%s", error.c_str(), AppUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(AppUsage, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("drk20vt5p %s\n", SimVersion());
        return 0;
    }
    // Scripts are read whole before the window opens: a script error is a usage error.
    InstallStopSignals();
    Script start, script;
    if (!options.start.empty()) {
        if (!LoadScript(options.start, start.player)) return StopSignal ? 128 + StopSignal : 2;
        start.playing = true;
    }
    if (!options.script.empty()) {
        if (!LoadScript(options.script, script.player)) return StopSignal ? 128 + StopSignal : 2;
        script.playing = true;
        script.sayEnd = true;
    }
    if (!options.record.empty()) {
        const std::string key = FileKey(options.record);
        for (const std::string* played : {&options.start, &options.script}) {
            if (!played->empty() && FileKey(*played) == key) {
                std::fprintf(stderr,
                             "drk20vt5p: --record %s: the same file as the script it plays; "
                             "refused, nothing written\n",
                             options.record.c_str());
                return 2;
            }
        }
        if (!BeginRecording(options.record)) return StopSignal ? 128 + StopSignal : 2;
    }
    bool seeded = false;
    uint32_t seed = 0;
    if (!options.drill.empty()) {
        if (!options.script.empty()) {
            std::fprintf(stderr, "drk20vt5p: --drill plays its own timeline: not with --script\n");
            return 2;
        }
        if (!BeginDrill(options.drill, script.player, seeded, seed)) return 2;
        script.playing = true;
    }

    // A button released outside the window leaves MODE held, as on the original platform.
    SDL_SetHint(SDL_HINT_MOUSE_AUTO_CAPTURE, "0");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    // The stop signals are this program's own (stop_signals.h), not SDL's.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_Init(SDL_INIT_EVENTS) != 0 || !InitVideo()) {
        EndRecording();
        SDL_Quit();
        return 1;
    }
    if (!OpenView(options.scale, options.lcdLook)) {
        EndRecording();
        CloseView();
        SDL_Quit();
        return 1;
    }
    ChooseLanguage(options.lang.empty() ? LocaleLanguage() : options.lang);
    const bool sound = OpenSdlSound();
    SoundDevice = sound;
    if (!sound) {
        std::fprintf(stderr, "drk20vt5p: no audio device (%s); the instrument is silent\n",
                     SDL_GetError());
    }
    SetSdlSoundWaitHook(WhileSoundHolds);

    // Window creation: power-on, the LCD view, the 100 ms timer.
    SimUseCarriedResources();
    if (seeded) SimSeed(seed);
    SimStart();
    // A prepared situation: the start script as fast as the processor allows, silent.
    SimSetSoundService(nullptr);
    bool stopped = false;
    for (uint32_t n = 1; !stopped && Advance(start); ++n) {
        RunTick();
        if (n % FastForwardPollTicks == 0) stopped = StopAsked();
    }
    SimSetSoundService(CaptionedSound);
    if (!stopped) Advance(script);
    RoomViewTick();
    ViewTakeFrame(SimFrame());
    Show();
    int64_t due = NowUs() + SimTickPeriodUs;

    while (
        !stopped && !QuitRequested() && StopSignal == 0 &&
        !(!options.drill.empty() && (EndPressed() || DrillOver(script.player, !script.playing)))) {
        const int64_t now = NowUs();
        if (now >= due) {
            RoomViewTick();  // the hand's move, before the tick it counts in
            RunTick();
            DeliverHeldInput();
            Advance(script);
            RoomViewTick();  // a source the script placed opens the room
            ViewTakeFrame(SimFrame());
            Show();
            due = SimNextTickDue(due, NowUs());
            continue;
        }
        SDL_Event event;
        const int waitMs = static_cast<int>((due - now + 999) / 1000);
        if (SDL_WaitEventTimeout(&event, waitMs) && HandleEvent(event)) Show();
    }
    EndRecording();
    EndDrill(script.player, options.record);
    CloseSdlSound();
    CloseView();
    SDL_Quit();
    return ExitCode(start.failed || script.failed);
}
