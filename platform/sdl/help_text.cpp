#include "help_text.h"

#include "i18n.h"

const char* const HelpParagraphs[] = {
    Word("DRK-20VT5P: THE BUTTONS"),
    Word("POWER: switch on / off"),
    Word("MODE short press (under 1.5 s): next measuring mode (with the backlight dark, the "
         "first press only lights it); in the menu, the next item; in the editor, one more on "
         "the digit under the cursor (9, then 0)"),
    Word("MODE long press (hold about 2 s; 1.5 s in the menu): the settings menu; in the menu, "
         "act on the item shown; in the editor, the next digit (past the last: done)"),
    Word("Service menu: keep MODE held while switching on. Keys: hold M, press P. Mouse: hold "
         "MODE with one button, click POWER with the other."),
    Word("Keys: P = POWER, M or Space = MODE (held), F = factory settings (as at start), F1 or "
         "? = this help"),
    Word("S = sound off / on, + and - = volume, C = captions of the speech and sounds"),
    Word("Any key closes this help."),
};

const int HelpParagraphCount = static_cast<int>(sizeof HelpParagraphs / sizeof HelpParagraphs[0]);
