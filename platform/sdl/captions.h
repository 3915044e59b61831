// The window's captions of what the instrument sounds (toggled with C): the words of each
// spoken message in Russian with a gloss in the interface's language, "[alarm tone]" while the
// alarm repeats, "[clicks: N a second]" renewed at most once a second. They go by ticks: shown
// when the sound starts, kept 3 s after its tick.
#pragma once

#include <cstdint>
#include <vector>

#include "simulator.h"

// The sound about to play (called by the sound service before it plays).
void CaptionsHeard(const SimSoundReport& report);
// One tick has run.
void CaptionsTick();
void CaptionsToggle();
bool CaptionsOn();
// True while a caption is shown.
bool CaptionsShown();
// Draws the captions over the bottom of the window image (w × h, the panel at `scale`).
void DrawCaptions(std::vector<uint32_t>& image, int w, int h, int scale);
