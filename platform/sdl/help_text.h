// The words of the window's help overlay (F1 or ?), one paragraph each: what the buttons do
// and the keys, in English as the catalogue's keys (Tr gives them in the chosen language).
// Apart from the drawing, so a test can hold them against the instrument.
#pragma once

extern const char* const HelpParagraphs[];
extern const int HelpParagraphCount;
