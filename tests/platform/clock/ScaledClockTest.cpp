// The clock for scenario tests that drive real processes, and waits a stop request ends.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <future>
#include <thread>

#include "clock/Clock.h"
#include "clock/ManualClock.h"
#include "clock/ScaledClock.h"
#include "clock/StopSignal.h"

using namespace vesk::clock;
using namespace std::chrono_literals;

namespace {

TEST(ScaledClock, SpansShrinkByTheFactorRoundedUp) {
    struct Row {
        int factor;
        Milliseconds span;
        Milliseconds real;
    } rows[] = {
        {10, 1000ms, 100ms},                   // the start-up pause
        {10, 15ms, 2ms},                       // a fade step, never shortened to nothing
        {10, 100ms, 10ms},                     // the progress timer
        {10, 0ms, 0ms},      {0, 40ms, 40ms},  // a factor below 1 counts as 1
        {1000, 5000ms, 5ms},                   // the service poll
    };
    for (const Row& row : rows) {
        ScaledClock clock(row.factor);
        EXPECT_EQ(clock.RealSpan(row.span), row.real) << row.factor << " " << row.span.count();
    }
}

TEST(ScaledClock, ASleepMovesTheClockByItsWholeSpan) {
    ScaledClock clock(1000);
    const Milliseconds before = clock.Now();
    clock.Sleep(2000ms);  // about 2 ms of real time
    EXPECT_GE(clock.Now() - before, 2000ms);
    const LocalTime start = clock.LocalNow();
    EXPECT_GT(start.year, 2000);
}

TEST(ScaledClock, EnvironmentAsksForItInBuildsForTests) {
    setenv("VESK_CLOCK", "scaled:50", 1);
    InstallClockFromEnvironment();
    auto* scaled = dynamic_cast<ScaledClock*>(&Current());
    ASSERT_NE(scaled, nullptr);
    EXPECT_EQ(scaled->Factor(), 50);
    Install(nullptr);
    for (const char* bad : {"scaled:0", "scaled:", "scaled:x", "scaled:5x"}) {
        setenv("VESK_CLOCK", bad, 1);
        InstallClockFromEnvironment();
        EXPECT_EQ(&Current(), &SystemClock()) << bad;
    }
    unsetenv("VESK_CLOCK");
}

TEST(StopSignal, AStopEndsALongWaitAtOnce) {
    ScaledClock clock(1);
    Install(&clock);
    StopSignal stop;
    std::promise<void> started;
    auto waited = std::async(std::launch::async, [&] {
        started.set_value();
        return stop.WaitFor(std::chrono::hours(1));
    });
    started.get_future().wait();
    stop.RequestStop();
    EXPECT_TRUE(waited.get());
    EXPECT_TRUE(stop.WaitFor(std::chrono::hours(1))) << "a stop asked before the wait ends it too";
    stop.Reset();
    EXPECT_FALSE(stop.WaitFor(1ms));
    Install(nullptr);
}

TEST(StopSignal, UnderAJumpingClockTheWaitMovesTheClockOn) {
    ManualClock clock;
    Install(&clock);
    StopSignal stop;
    EXPECT_FALSE(stop.WaitFor(250ms));
    EXPECT_EQ(clock.Now(), 250ms);
    Install(nullptr);
}

}  // namespace
