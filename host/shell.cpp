#include "host/shell.h"

#include "host/host_tick.h"

ButtonRecord ButtonTable[2];

void SetButton(int32_t index, int32_t left, int32_t top) {
    ButtonTable[index] = ButtonRecord{index, left, top + 30, left + 30, top};
}

namespace {
bool Hits(const ButtonRecord& b, uint32_t x, uint32_t y) {
    const int64_t px = x, py = y;
    return b.left < px && px < b.right && b.top < py && py < b.bottom;
}
}  // namespace

void ButtonPress(uint32_t x, uint32_t y) {
    x &= 0xFFFF;
    y &= 0xFFFF;
    if (Hits(ButtonTable[0], x, y)) {
        if (FirmwareRunning.load() == 1) {
            PowerKeyEvent.store(1);
        } else {
            PowerOn();
        }
    }
    if (Hits(ButtonTable[1], x, y)) {
        ModeKeyLevel.store(0);
        ModeKeyLevel.notify_all();
    }
    WaitFirmwareParked();
}

void ButtonRelease() {
    ModeKeyLevel.store(1);
    ModeKeyLevel.notify_all();
    WaitFirmwareParked();
}

void ResetShell() {
    for (auto& b : ButtonTable) b = ButtonRecord{};
}
