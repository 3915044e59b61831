#include "host/firmware_thread.h"

#include "firmware/main_program.h"
#include "host/fiber.h"
#include "host/host_tick.h"

std::atomic<uint8_t> FirmwareThreadHandle{0};
uint8_t FirmwarePark = ParkedStopped;
FirmwareEntryFn FirmwareEntry = FirmwareMain;

namespace {

void FirmwareThreadMain() {
    FirmwareEntry();
    ExitFirmwareThread();
}

// Firmware: parks at `where` and gives the host its turn.
void Park(uint8_t where) {
    FirmwarePark = where;
    FiberSwitchOut();
    FirmwarePark = FirmwareBusy;
}

bool FirmwareCanGoOn() {
    switch (FirmwarePark) {
        case FirmwareBusy:
            return true;
        case ParkedInWait:
            return TickDone.load() != 0;
        case ParkedOnModeKey:
            return ModeKeyLevel.load() != 0;
        default:
            return false;
    }
}

}  // namespace

void StartFirmwareThread() {
    CloseFirmwareThread();
    FiberCreate(FirmwareThreadMain);
    FirmwarePark = FirmwareBusy;
    FirmwareThreadHandle.store(1);
    RunFirmware();
}

void RunFirmware() {
    if (FiberExists() && FirmwareCanGoOn()) FiberSwitchIn();
}

void CloseFirmwareThread() {
    FiberRelease();
    FirmwarePark = ParkedStopped;
    FirmwareThreadHandle.store(0);
}

void AwaitTick() {
    while (TickDone.load() == 0) Park(ParkedInWait);
    TickDone.store(0);
}

void AwaitModeKeyRelease() {
    while (ModeKeyLevel.load() == 0) Park(ParkedOnModeKey);
}

void ExitFirmwareThread() {
    FirmwarePark = ParkedStopped;
    FiberExit();
}
