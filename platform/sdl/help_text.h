// The words of the window's help overlay (F1 or ?), one line each: what the buttons do and
// the keys. Apart from the drawing, so a test can hold them against the instrument.
#pragma once

extern const char* const HelpLines[];
extern const int HelpLineCount;
