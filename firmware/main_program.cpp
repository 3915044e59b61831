#include "firmware/main_program.h"

#include "firmware/display.h"
#include "firmware/firmware_state.h"
#include "firmware/measurement.h"

// Placeholder until the main program is built: waits for ticks and honours the power key.
void FirmwareMain() {
    PowerKeyEnabled = 1;
    for (;;) RefreshDisplay();
}
