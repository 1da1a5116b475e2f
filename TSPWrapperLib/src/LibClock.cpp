#include "LibClock.h"

#include "clock/Clock.h"

namespace vesk::tsp {
namespace {

// At load, before any export runs, so no export races the installation.
const bool g_clockInstalled = (clock::InstallClockFromEnvironment(), true);

}  // namespace

void LibSleep(std::chrono::milliseconds duration) {
    static_cast<void>(g_clockInstalled);
    clock::Sleep(duration);
}

}  // namespace vesk::tsp
