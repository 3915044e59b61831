#include "host/shell.h"

#include "host/firmware_thread.h"
#include "host/host_tick.h"
#include "peripherals/lcd_renderer.h"

bool ButtonHit(int32_t index, uint32_t x, uint32_t y) {
    const ButtonRecord& b = ButtonTable[index];
    const int64_t px = x, py = y;
    return b.left < px && px < b.right && b.top < py && py < b.bottom;
}

void ButtonDown(int32_t index) {
    if (index == 0) {
        if (FirmwareRunning.load() == 1) {
            PowerKeyEvent.store(1);
        } else {
            PowerOn();
        }
    } else if (index == 1) {
        ModeKeyLevel.store(0);
    }
}

void ButtonPress(uint32_t x, uint32_t y) {
    x &= 0xFFFF;
    y &= 0xFFFF;
    for (int32_t i = 0; i < 2; ++i)
        if (ButtonHit(i, x, y)) ButtonDown(i);
}

void ButtonRelease() {
    ModeKeyLevel.store(1);
    // A firmware waiting for the key's release goes on now, up to its next wait.
    RunFirmware();
}
