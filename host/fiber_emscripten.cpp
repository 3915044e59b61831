// The switch layer on Emscripten's fibers (emscripten_fiber_swap; the program is linked with
// -sASYNCIFY). A switch unwinds the leaving side's WebAssembly call chain into that side's
// Asyncify buffer and rewinds the other side's from its own; each side also keeps its own C
// stack. The fiber's C stack and both Asyncify buffers are fixed storage.
//
// Under Asyncify the export that the host was called through (the runner's main, a page's
// tick) returns to JavaScript once while the switch goes on and completes later: a value it
// returns after a switch is lost, so such exports return nothing (or exit()).
#include <emscripten/fiber.h>

#include <cstdlib>
#include <cstring>

#include "host/fiber.h"

namespace {

// Deep enough for the firmware many times over (it uses a few KiB; FiberStackUsed tells).
constexpr std::size_t StackSize = 1024 * 1024;
// The locals of an unwound call chain: the firmware's from its entry to its wait, the host's
// from the export it was called through to its switch.
constexpr std::size_t AsyncifySize = 256 * 1024;
constexpr unsigned char StackFill = 0xA5;
alignas(16) unsigned char FiberStack[StackSize];
alignas(16) unsigned char FiberAsyncify[AsyncifySize];
alignas(16) unsigned char HostAsyncify[AsyncifySize];

emscripten_fiber_t FiberContext;  // where the fiber goes on
emscripten_fiber_t HostContext;   // where the host goes on
FiberEntryFn Entry = nullptr;
bool Exists = false;
bool Exited = false;

void FiberStart(void*) {
    Entry();
    FiberExit();  // an entry that returns has ended the firmware's thread of control
}

// The fiber's side of a switch to the host.
void FiberJump() {
    emscripten_fiber_swap(&FiberContext, &HostContext);
}

}  // namespace

void FiberCreate(FiberEntryFn entry) {
    if (Exists) std::abort();  // one fiber at a time: release the last one first
    std::memset(FiberStack, StackFill, StackSize);
    Entry = entry;
    emscripten_fiber_init(&FiberContext, FiberStart, nullptr, FiberStack, StackSize, FiberAsyncify,
                          AsyncifySize);
    Exists = true;
    Exited = false;
}

void FiberSwitchIn() {
    if (!Exists || Exited) return;
    // The host's context is whatever call chain it switches from this time (another export
    // than last time, perhaps): taken afresh at each switch, its buffer empty.
    emscripten_fiber_init_from_current_context(&HostContext, HostAsyncify, AsyncifySize);
    emscripten_fiber_swap(&HostContext, &FiberContext);
}

void FiberSwitchOut() {
    FiberJump();
}

void FiberExit() {
    Exited = true;
    FiberJump();  // the fiber's unwound chain stays in its buffer and is never rewound
    std::abort();
}

void FiberRelease() {
    if (!Exists) return;
    Exists = false;
    Exited = false;
}

bool FiberExists() {
    return Exists;
}

bool FiberExited() {
    return Exited;
}

unsigned long FiberStackUsed() {
    std::size_t untouched = 0;
    while (untouched < StackSize && FiberStack[untouched] == StackFill) ++untouched;
    return static_cast<unsigned long>(StackSize - untouched);
}
