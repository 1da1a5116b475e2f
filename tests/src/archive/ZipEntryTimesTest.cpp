// Conversions between the times an entry records and the times a file is given.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <string>

#include "TestZip.h"
#include "ZipEntryTimes.h"

namespace {

using Clock = std::chrono::system_clock;
using std::chrono::seconds;
using vesk::test::ExtendedTimestamp;

constexpr std::int64_t kTicksPerSecond = 10000000;
constexpr std::int64_t kUnixEpochTicks = 116444736000000000;

ZipFileTime FromUnix(std::int64_t unixSeconds) {
    return static_cast<ZipFileTime>(kUnixEpochTicks + unixSeconds * kTicksPerSecond);
}

std::int64_t UnixSecondsOf(Clock::time_point point) {
    return std::chrono::floor<seconds>(point.time_since_epoch()).count();
}

// Times before 1970 are below zero; the block's bytes are signed.
TEST(ZipEntryTimes, ExtendedTimestampTimesAreSigned) {
    const struct {
        std::uint32_t stored;
        std::int64_t unixSeconds;
    } cases[] = {
        {0xFFFFFFFF, -1},
        {0x80000000, -2147483648LL},  // 1901-12-13
        {0x7FFFFFFF, 2147483647},
        {1600000001, 1600000001},
    };
    for (const auto& c : cases) {
        ZipEntry entry;
        ApplyExtendedTimestamp(ExtendedTimestamp(1, {c.stored}), entry);
        EXPECT_EQ(entry.modificationTime, FromUnix(c.unixSeconds)) << c.stored;
    }
}

TEST(ZipEntryTimes, TimePointsStayWithinTheClocksSpan) {
    const Clock::time_point earliest = Clock::time_point::min();
    const Clock::time_point latest = Clock::time_point::max();
    const std::int64_t year1700 = -8520336000;
    // 0 is what a DOS time that cannot be placed gives: 1601, before the clock's span.
    EXPECT_LT(UnixSecondsOf(ZipTimePointOf(0)), year1700);
    EXPECT_GE(ZipTimePointOf(0), earliest);
    EXPECT_GT(UnixSecondsOf(ZipTimePointOf(std::numeric_limits<ZipFileTime>::max())),
              std::int64_t{4102444800});  // 2100
    EXPECT_LE(ZipTimePointOf(std::numeric_limits<ZipFileTime>::max()), latest);

    const struct {
        ZipFileTime time;
        std::int64_t unixSeconds;
        std::int64_t nanoseconds;
    } exact[] = {
        {FromUnix(0), 0, 0},
        {FromUnix(1600000001) + 5, 1600000001, 500},
        {FromUnix(-1), -1, 0},
        {FromUnix(-2147483648LL) + 9999999, -2147483648LL, 999999900},
    };
    for (const auto& c : exact) {
        const auto expected =
            Clock::time_point(seconds(c.unixSeconds)) +
            std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(c.nanoseconds));
        EXPECT_EQ(ZipTimePointOf(c.time), expected) << c.unixSeconds;
    }
}

}  // namespace
