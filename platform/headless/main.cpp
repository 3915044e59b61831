#include "runner.h"

int main(int argc, char** argv) {
    return RunnerMain(argc, argv);
}
