// The switch layer: the firmware's thread of control as a fiber of the host thread.
//
// One fiber at a time, with a stack of its own, beside the host's own context. The host
// switches into it and it runs until it switches back; the two never run at the same time,
// so nothing they share needs a lock and every run is the same for the same inputs.
// Three back ends, chosen by the build: Boost.Context (fiber_boost.cpp), the Windows fiber
// calls (fiber_win32.cpp) and Emscripten's fibers (fiber_emscripten.cpp). The sanitizers'
// fiber annotations live in the back ends, around every switch.
#pragma once

using FiberEntryFn = void (*)();

// Host: makes a new fiber that starts at `entry` on the first FiberSwitchIn. A fiber made
// earlier must have been released.
void FiberCreate(FiberEntryFn entry);
// Host: runs the fiber until it switches back (FiberSwitchOut or FiberExit).
void FiberSwitchIn();
// Fiber: back to the host; returns when the host switches in again.
void FiberSwitchOut();
// Fiber: back to the host for good. Nothing on the fiber's stack runs again: the call chain
// that led here is abandoned, not unwound.
[[noreturn]] void FiberExit();
// Host: releases the fiber and its stack, whether it has exited or is parked in
// FiberSwitchOut (then it never resumes). Does nothing when there is no fiber.
void FiberRelease();
// Host: a fiber has been created and not yet released.
bool FiberExists();
// Host: the fiber has called FiberExit (until it is released).
bool FiberExited();

// The deepest the fiber's stack has been used since it was created, in bytes, where the
// back end can tell (the stack is filled with a pattern when the fiber is made); 0 where not.
unsigned long FiberStackUsed();
