// The signals that stop a program: SIGINT, SIGTERM, SIGHUP and SIGQUIT. Their handler only
// notes the signal; it does not restart the system call under way, so a blocking read of a
// script or an open of a FIFO ends at once (EINTR), and a run sees the note between ticks,
// finishes the tick and commits its outputs. SIGPIPE is ignored: a write to a pipe whose
// reader has left fails, and is reported as a write error of that output.
#pragma once

#include <csignal>

// The signal that asked to stop, 0 while none has.
extern volatile std::sig_atomic_t StopSignal;

void InstallStopSignals();
// "SIGINT", "SIGTERM", "SIGHUP", "SIGQUIT" (or "a signal").
const char* StopSignalName(int signal);
