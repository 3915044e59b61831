// The window: the panel at an integer scale with the LCD drawn in, the pressed look of the
// buttons, the help overlay, the hand cursor over the buttons, the icon and the placement.
#pragma once

#include <cstdint>

#include "app_options.h"

struct PanelLook {
    bool pressed[2] = {false, false};  // POWER, MODE drawn sunk
    bool help = false;                 // the help overlay over the panel
};

// Opens the window at `scale` (0: the largest that fits the screen). False, with the reason
// and SDL's own error printed, when it cannot.
bool OpenView(int scale, LcdLook look);
void CloseView();
int ViewScale();
// The panel pixel under window position (x, y); false when the position lies outside the
// window's client area (a button released there never reached the window).
bool ViewPanelAt(int x, int y, int32_t* px, int32_t* py);
// True while the pointer is over the window's client area. SDL keeps the positions of its
// mouse events inside the window, so a release outside is told by asking for the pointer.
bool ViewPointerInside();
// Takes the instrument's frame (SimFrame, 1x) as the one to show; the window keeps its own
// copy, so it can repaint while a tick is held by a sound.
void ViewTakeFrame(const uint32_t* frame);
// Puts the last frame taken, with the buttons and overlay as `look` says, into the window.
void ViewShow(const PanelLook& look);
// The hand cursor over a button, the arrow elsewhere.
void ViewPointerOverButton(bool over);
