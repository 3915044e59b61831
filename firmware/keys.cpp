#include "firmware/keys.h"

#include "firmware/display.h"
#include "firmware/firmware_state.h"

// Placeholders until the key poll and the editor are built.
void PollKey() {
    ShortPress = 0;
    LongPress = 0;
    RefreshDisplay();
}
void EditNumber(float*, uint8_t) {}
