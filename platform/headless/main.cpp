#include "platform/headless/runner.h"

int main(int argc, char** argv) {
    return RunnerMain(argc, argv);
}
