// The person's input: mouse buttons and keys turned into the instrument's input, the look of
// the buttons while they are held, and the help overlay.
//
// While a sound holds the tick the instrument cannot take input (the firmware reads the key
// once per tick, and the tick waits for the sound): the input is then kept in its order and
// given to the instrument when the tick has run, while the window already shows it.
#pragma once

#include <SDL.h>

#include "view.h"

// Handles one event. Returns true when the window's look changed (repaint).
bool HandleEvent(const SDL_Event& event);
// While true, input is kept instead of given to the instrument.
void HoldInput(bool hold);
// Gives the kept input to the instrument, in its order.
void DeliverHeldInput();
// The look of the panel now: the held buttons, the help overlay.
PanelLook CurrentLook();
// True once the End key was pressed (it ends a drill).
bool EndPressed();
// True once the window was closed.
bool QuitRequested();
