// The firmware's fiber stack: how deep the real firmware goes through its power-on, an
// announcement, the menu and the numeric editor.
#include "host/fiber.h"
#include "support/machine.h"

namespace {

TEST_F(MachineTest, FirmwareStackStaysShallow) {
    Start();
    Tick(700);      // power-on, greeting, a minute of measuring with its announcement
    PressMode(20);  // the menu
    Tick(5);
    PressMode(20);  // edit the first item
    for (int i = 0; i < 8; ++i) {
        PressMode(2);
        Tick(3);
    }
    const unsigned long used = FiberStackUsed();
    if (used == 0) GTEST_SKIP() << "this build cannot measure the fiber's stack";
    // A few hundred bytes in an optimised build (the firmware keeps its state in globals);
    // far less than the fiber's stack either way.
    EXPECT_LT(used, 64ul * 1024);
}

}  // namespace
