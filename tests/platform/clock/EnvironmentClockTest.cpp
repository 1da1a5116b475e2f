// A shipped build ignores VESK_CLOCK: a stray value must not end its waits at once, nor
// make it read and write descriptors it was never given.

#include <gtest/gtest.h>
#include <stdlib.h>

#include "clock/Clock.h"

namespace {

TEST(ShippedClock, IgnoresEveryClockTheEnvironmentNames) {
    for (const char* setting : {"virtual", "pipe:0:1", "pipe:100:101", "scaled:10"}) {
        setenv("VESK_CLOCK", setting, 1);
        vesk::clock::InstallClockFromEnvironment();
        EXPECT_EQ(&vesk::clock::Current(), &vesk::clock::SystemClock()) << setting;
    }
    unsetenv("VESK_CLOCK");
}

}  // namespace
