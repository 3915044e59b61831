#include "stop_signals.h"

#include <initializer_list>

volatile std::sig_atomic_t StopSignal = 0;

namespace {

extern "C" void OnStopSignal(int signal) {
    StopSignal = signal;
}

}  // namespace

void InstallStopSignals() {
    StopSignal = 0;
#ifndef _WIN32
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a blocking call returns EINTR
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaction(signal, &action, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
#else
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
#endif
}

const char* StopSignalName(int signal) {
    switch (signal) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
#ifndef _WIN32
        case SIGHUP:
            return "SIGHUP";
        case SIGQUIT:
            return "SIGQUIT";
#endif
        default:
            return "a signal";
    }
}
