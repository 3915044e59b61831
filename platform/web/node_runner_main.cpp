// The headless runner built for node: the same runner, whose exit code leaves through exit().
// Under Asyncify the firmware's first fiber switch returns from main early
// (host/fiber_emscripten.cpp), and main's own result never reaches the process.
#include <cstdlib>

#include "runner.h"

int main(int argc, char** argv) {
    std::exit(RunnerMain(argc, argv));
}
