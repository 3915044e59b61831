// The room beside the panel: a plan of the simulator's room to scale, its walls, the sources
// that are not hidden and the instrument as a marker. Off at the start, so the window keeps
// the panel's size; the R key shows and hides it, and it opens by itself the first time a
// script places a source. The person carries the instrument by dragging the marker (a press
// anywhere on the plan takes it there) or with the arrow keys, 0.1 m a press, 0.01 m with
// Shift. A hand move reaches the room once a tick, before the tick runs, and is recorded
// then as a `move` step, so a recorded search replays to the same ticks.
#pragma once

#include <SDL.h>

// Handles an event meant for the room (the R key, the arrow keys while it is shown, the mouse
// on the plan). True when it took the event and the window must repaint.
bool RoomViewEvent(const SDL_Event& event);
// Once a tick, before it runs: gives the room the hand's last move (recorded as its step),
// and opens the view when a script has placed its first source. True when the window must
// repaint.
bool RoomViewTick();
// Draws the plan into `area` of the renderer's output (`scale` output pixels a panel pixel).
void RoomViewDraw(SDL_Renderer* renderer, const SDL_Rect& area, int scale);
