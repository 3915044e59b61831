// The headless runner: drives the simulator tick by tick from a scenario script, as fast as
// the processor allows (or in real time), and writes LCD traces, screenshots and sound.
// options.h is its command line; run_plan.h reads the scripts and checks every output before
// the first tick; the scenario library plays the script; trace_writer and wav_writer write its
// outputs, through the output layer of platform/io (which also writes the screenshots).
#pragma once

#include "options.h"

// Runs the whole program; returns the exit code (0 ok, 1 expect failed, 2 usage or script
// error).
int RunnerMain(int argc, const char* const* argv);
