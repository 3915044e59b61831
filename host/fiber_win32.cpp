// The switch layer on the Windows fiber calls: the host thread becomes a fiber on first use
// (ConvertThreadToFiber), the firmware's fiber is made with CreateFiber and released with
// DeleteFiber, and every switch is a SwitchToFiber.
#include <windows.h>

#include <cstdlib>

#include "host/fiber.h"

namespace {

constexpr SIZE_T StackSize = 1024 * 1024;

void* HostFiber = nullptr;
void* FirmwareFiber = nullptr;
FiberEntryFn Entry = nullptr;
bool Exited = false;

// The calling thread's fiber. (GCC misreads the inline TEB read of mingw-w64's
// GetCurrentFiber as an out-of-bounds access.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
void* CurrentFiber() {
    return GetCurrentFiber();
}
#pragma GCC diagnostic pop

void CALLBACK FiberStart(void*) {
    Entry();
    FiberExit();  // an entry that returns has ended the firmware's thread of control
}

}  // namespace

void FiberCreate(FiberEntryFn entry) {
    if (FirmwareFiber != nullptr) std::abort();  // one fiber at a time
    if (HostFiber == nullptr) {
        HostFiber = IsThreadAFiber() ? CurrentFiber() : ConvertThreadToFiber(nullptr);
        if (HostFiber == nullptr) std::abort();
    }
    Entry = entry;
    Exited = false;
    FirmwareFiber = CreateFiber(StackSize, FiberStart, nullptr);
    if (FirmwareFiber == nullptr) std::abort();
}

void FiberSwitchIn() {
    if (FirmwareFiber == nullptr || Exited) return;
    SwitchToFiber(FirmwareFiber);
}

void FiberSwitchOut() {
    SwitchToFiber(HostFiber);
}

void FiberExit() {
    Exited = true;
    SwitchToFiber(HostFiber);
    std::abort();  // never switched into again
}

void FiberRelease() {
    if (FirmwareFiber == nullptr) return;
    DeleteFiber(FirmwareFiber);
    FirmwareFiber = nullptr;
    Exited = false;
}

bool FiberExists() {
    return FirmwareFiber != nullptr;
}

bool FiberExited() {
    return Exited;
}

unsigned long FiberStackUsed() {
    return 0;
}
