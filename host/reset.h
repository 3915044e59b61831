// The whole simulated machine back to its program-start state.
#pragma once

// Releases the firmware's fiber wherever it waits (none of its code runs again), then resets
// every variable of the host, the peripherals and the firmware. The sound service and the
// installed resources stay.
void ResetSimulator();
