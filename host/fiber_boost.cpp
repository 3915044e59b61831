// The switch layer on Boost.Context's context switch (make_fcontext / jump_fcontext), with a
// stack in fixed storage. Each switch hands over the other side's context.
#include <boost/context/detail/fcontext.hpp>
#include <cstdlib>
#include <cstring>

#include "host/fiber.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DRK_ASAN 1
#endif
#if __has_feature(thread_sanitizer)
#define DRK_TSAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define DRK_ASAN 1
#endif
#if defined(__SANITIZE_THREAD__)
#define DRK_TSAN 1
#endif

#if defined(DRK_ASAN)
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
#endif
#if defined(DRK_TSAN)
#include <sanitizer/tsan_interface.h>
#endif

namespace ctx = boost::context::detail;

namespace {

// Deep enough for the firmware many times over (it uses a few KiB; FiberStackUsed tells),
// and for the sanitizers' larger frames.
constexpr std::size_t StackSize = 1024 * 1024;
constexpr unsigned char StackFill = 0xA5;
alignas(64) unsigned char FiberStack[StackSize];

ctx::fcontext_t FiberContext = nullptr;  // where the fiber goes on
ctx::fcontext_t HostContext = nullptr;   // where the host goes on
FiberEntryFn Entry = nullptr;
bool Exists = false;
bool Exited = false;

#if defined(DRK_ASAN)
const void* HostStackBottom = nullptr;
std::size_t HostStackSize = 0;
void* HostFakeStack = nullptr;
void* FiberFakeStack = nullptr;
#endif
#if defined(DRK_TSAN)
void* HostTsanFiber = nullptr;
void* FiberTsanFiber = nullptr;
#endif

// Switches from the host to the fiber and back; returns when the fiber has switched out.
void HostJump() {
#if defined(DRK_ASAN)
    __sanitizer_start_switch_fiber(&HostFakeStack, FiberStack, StackSize);
#endif
#if defined(DRK_TSAN)
    HostTsanFiber = __tsan_get_current_fiber();
    __tsan_switch_to_fiber(FiberTsanFiber, 0);
#endif
    const ctx::transfer_t back = ctx::jump_fcontext(FiberContext, nullptr);
    FiberContext = back.fctx;
#if defined(DRK_ASAN)
    __sanitizer_finish_switch_fiber(HostFakeStack, nullptr, nullptr);
#endif
}

// The fiber's side of a switch to the host; `last`: the fiber will never run again.
void FiberJump([[maybe_unused]] bool last) {
#if defined(DRK_ASAN)
    __sanitizer_start_switch_fiber(last ? nullptr : &FiberFakeStack, HostStackBottom,
                                   HostStackSize);
#endif
#if defined(DRK_TSAN)
    __tsan_switch_to_fiber(HostTsanFiber, 0);
#endif
    const ctx::transfer_t in = ctx::jump_fcontext(HostContext, nullptr);
    HostContext = in.fctx;
#if defined(DRK_ASAN)
    __sanitizer_finish_switch_fiber(FiberFakeStack, &HostStackBottom, &HostStackSize);
#endif
}

void FiberStart(ctx::transfer_t in) {
    HostContext = in.fctx;
#if defined(DRK_ASAN)
    __sanitizer_finish_switch_fiber(nullptr, &HostStackBottom, &HostStackSize);
#endif
    Entry();
    FiberExit();  // an entry that returns has ended the firmware's thread of control
}

}  // namespace

void FiberCreate(FiberEntryFn entry) {
    if (Exists) std::abort();  // one fiber at a time: release the last one first
#if defined(DRK_ASAN)
    // Frames of an abandoned fiber may have left parts of the stack poisoned.
    __asan_unpoison_memory_region(FiberStack, StackSize);
    FiberFakeStack = nullptr;
#endif
    std::memset(FiberStack, StackFill, StackSize);
#if defined(DRK_TSAN)
    FiberTsanFiber = __tsan_create_fiber(0);
#endif
    Entry = entry;
    FiberContext = ctx::make_fcontext(FiberStack + StackSize, StackSize, FiberStart);
    Exists = true;
    Exited = false;
}

void FiberSwitchIn() {
    if (!Exists || Exited) return;
    HostJump();
}

void FiberSwitchOut() {
    FiberJump(false);
}

void FiberExit() {
    Exited = true;
    FiberJump(true);
    std::abort();  // never switched into again
}

void FiberRelease() {
    if (!Exists) return;
#if defined(DRK_TSAN)
    __tsan_destroy_fiber(FiberTsanFiber);
    FiberTsanFiber = nullptr;
#endif
    FiberContext = nullptr;
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
#if defined(DRK_ASAN)
    return 0;  // the frames' poisoned guard zones may not be read
#endif
    std::size_t untouched = 0;
    while (untouched < StackSize && FiberStack[untouched] == StackFill) ++untouched;
    return static_cast<unsigned long>(StackSize - untouched);
}
