#include "input.h"

#include <algorithm>
#include <deque>
#include <string>

#include "captions.h"
#include "room_view.h"
#include "sdl_sound.h"
#include "session.h"
#include "simulator.h"

namespace {

enum class InputKind { MouseDown, MouseUp, PowerKey, ModeKeyDown, ModeKeyUp, FactoryKey };

struct Input {
    InputKind kind;
    int32_t x = 0, y = 0;  // MouseDown: the panel pixel
};

std::deque<Input> Held;
bool Holding = false;
bool Quit = false;
bool EndKey = false;
bool Help = false;
// The sound's control: S mutes and brings it back at its volume, + and - step the volume.
constexpr int VolumeStep = 10;
int Volume = 100;
bool Muted = false;

// What the window shows of the person's hands: a mouse button down on POWER, the P key, and
// MODE as the person's input leaves it (mouse down on it or M/Space, until a button-up in
// the window or the key's release).
bool MouseOnPower[2] = {false, false};  // left, right
bool PowerKey = false;
bool ModeKeys[2] = {false, false};  // M, Space
bool ModeByPerson = false;

// Gives one input to the instrument and records it as its step.
void Deliver(const Input& input) {
    const bool modeWasHeld = SimModeHeld();
    switch (input.kind) {
        case InputKind::MouseDown: {
            const int hit = SimButtonAt(input.x, input.y);
            SimMouseDown(input.x, input.y);
            if (hit == SimPower && modeWasHeld) {
                // MODE held by the other button (or a key) stays held: the press alone, and
                // this button's later button-up is recorded as it comes.
                RecordStep("power down");
            } else if (hit == SimPower) {
                RecordStep("click " + std::to_string(input.x) + " " + std::to_string(input.y));
            } else if (hit == SimMode && !modeWasHeld) {
                RecordStep("mode down");
            }
            break;
        }
        case InputKind::MouseUp:
            SimMouseUp();
            if (modeWasHeld) RecordStep("mode up");
            break;
        case InputKind::PowerKey:
            // A key press: no mouse button-up, so MODE stays as it is.
            SimPress(SimPower);
            SimRelease(SimPower);
            RecordStep("power down");
            break;
        case InputKind::ModeKeyDown:
            SimPress(SimMode);
            if (!modeWasHeld) RecordStep("mode down");
            break;
        case InputKind::ModeKeyUp:
            SimRelease(SimMode);
            if (modeWasHeld) RecordStep("mode up");
            break;
        case InputKind::FactoryKey:
            FactorySettings();
            break;
    }
}

void Give(const Input& input) {
    if (Holding || !Held.empty()) {
        Held.push_back(input);
    } else {
        Deliver(input);
        ModeByPerson = SimModeHeld();
    }
}

int MouseIndex(uint8_t button) {
    return button == SDL_BUTTON_LEFT ? 0 : button == SDL_BUTTON_RIGHT ? 1 : -1;
}

bool HandleKey(const SDL_KeyboardEvent& key, bool down) {
    const SDL_Keycode sym = key.keysym.sym;
    const int modeKey = sym == SDLK_m ? 0 : sym == SDLK_SPACE ? 1 : -1;
    if (!down) {
        if (sym == SDLK_p) PowerKey = false;
        if (modeKey >= 0 && ModeKeys[modeKey]) {
            ModeKeys[modeKey] = false;
            ModeByPerson = false;
            Give(Input{InputKind::ModeKeyUp});
        }
        return true;
    }
    if (key.repeat != 0) return false;
    if (Help) {  // any key closes the help, and only that
        Help = false;
        return true;
    }
    if (sym == SDLK_F1 || sym == SDLK_QUESTION ||
        (sym == SDLK_SLASH && (key.keysym.mod & KMOD_SHIFT) != 0)) {
        Help = true;
        return true;
    }
    if (sym == SDLK_END) {
        EndKey = true;
        return false;
    }
    if (sym == SDLK_f) {
        Give(Input{InputKind::FactoryKey});
        return true;
    }
    if (sym == SDLK_s) {  // sound off and on, at the volume it had
        Muted = !Muted;
        SetSdlSoundVolume(Muted ? 0 : Volume);
        return true;
    }
    if (sym == SDLK_PLUS || sym == SDLK_EQUALS || sym == SDLK_KP_PLUS || sym == SDLK_MINUS ||
        sym == SDLK_KP_MINUS) {
        const bool up = sym == SDLK_PLUS || sym == SDLK_EQUALS || sym == SDLK_KP_PLUS;
        Volume = std::clamp(Volume + (up ? VolumeStep : -VolumeStep), 0, 100);
        Muted = false;
        SetSdlSoundVolume(Volume);
        return true;
    }
    if (sym == SDLK_c) {
        CaptionsToggle();
        return true;
    }
    if (sym == SDLK_p) {
        PowerKey = true;
        Give(Input{InputKind::PowerKey});
        return true;
    }
    if (modeKey >= 0) {
        ModeKeys[modeKey] = true;
        ModeByPerson = true;
        Give(Input{InputKind::ModeKeyDown});
        return true;
    }
    return false;
}

}  // namespace

bool HandleEvent(const SDL_Event& event) {
    if (RoomViewEvent(event)) return true;
    switch (event.type) {
        case SDL_QUIT:
            Quit = true;
            return false;
        case SDL_WINDOWEVENT:
            return event.window.event == SDL_WINDOWEVENT_EXPOSED;
        case SDL_MOUSEMOTION: {
            int32_t x, y;
            const bool inside = ViewPanelAt(event.motion.x, event.motion.y, &x, &y);
            ViewPointerOverButton(inside && SimButtonAt(x, y) >= 0);
            return false;
        }
        case SDL_MOUSEBUTTONDOWN: {
            const int index = MouseIndex(event.button.button);
            int32_t x, y;
            if (index < 0 || !ViewPanelAt(event.button.x, event.button.y, &x, &y)) return false;
            const int hit = SimButtonAt(x, y);
            if (hit == SimPower) MouseOnPower[index] = true;
            if (hit == SimMode) ModeByPerson = true;
            Help = false;
            Give(Input{InputKind::MouseDown, x, y});
            return true;
        }
        case SDL_MOUSEBUTTONUP: {
            const int index = MouseIndex(event.button.button);
            if (index < 0) return false;
            MouseOnPower[index] = false;
            // X11 sends the button-up to the window that had the button-down, wherever the
            // pointer is; one outside the window never reached it, and MODE stays held. While
            // M or Space holds MODE, the key holds it (hold M, click POWER: the service menu).
            if (ViewPointerInside() && !ModeKeys[0] && !ModeKeys[1]) {
                ModeByPerson = false;
                Give(Input{InputKind::MouseUp});
            }
            return true;
        }
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            return HandleKey(event.key, event.type == SDL_KEYDOWN);
        default:
            return false;
    }
}

void HoldInput(bool hold) {
    Holding = hold;
}

void DeliverHeldInput() {
    while (!Held.empty()) {
        Deliver(Held.front());
        Held.pop_front();
    }
    ModeByPerson = SimModeHeld();
}

PanelLook CurrentLook() {
    PanelLook look;
    look.pressed[SimPower] = MouseOnPower[0] || MouseOnPower[1] || PowerKey;
    // Between ticks the instrument's own MODE (a script's press included); while input is
    // kept, the person's.
    look.pressed[SimMode] = Holding || !Held.empty() ? ModeByPerson : SimModeHeld();
    look.help = Help;
    return look;
}

bool EndPressed() {
    return EndKey;
}

bool QuitRequested() {
    return Quit;
}
