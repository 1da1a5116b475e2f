#include <gtest/gtest.h>

#include "clock/Clock.h"
#include "clock/ManualClock.h"

using namespace vesk::clock;
using namespace std::chrono_literals;

TEST(ManualClock, SleepReturnsAtOnceAndCarriesIntoTheCalendar) {
    ManualClock clock({2027, 12, 31, 23, 59, 59, 900});
    clock.Sleep(250ms);
    const LocalTime t = clock.LocalNow();
    EXPECT_EQ(t.year, 2028);
    EXPECT_EQ(t.month, 1);
    EXPECT_EQ(t.day, 1);
    EXPECT_EQ(t.hour, 0);
    EXPECT_EQ(t.second, 0);
    EXPECT_EQ(t.millisecond, 150);
    EXPECT_EQ(clock.Now(), 250ms);
    EXPECT_EQ(clock.Sleeps(), std::vector<Milliseconds>{250ms});
}

TEST(ManualClock, InstalledClockServesTheFreeFunctions) {
    ManualClock clock;
    Install(&clock);
    Sleep(1000ms);
    EXPECT_EQ(Now(), 1000ms);
    Install(nullptr);
    EXPECT_EQ(&Current(), &SystemClock());
}
