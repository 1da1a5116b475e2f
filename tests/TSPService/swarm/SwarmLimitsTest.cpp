#include "swarm/SwarmLimits.h"

#include <gtest/gtest.h>

#include "TempDir.h"

namespace vesk::tsp_service {
namespace {

TEST(SwarmLimitsTest, TakesValuesInRangeOnlyAndKeepsThemAcrossARestart) {
    test::TempDir folder;
    const auto file = folder / "p2p.ini";
    {
        SwarmLimits limits(file, -1);
        EXPECT_EQ(limits.Get(kCacheLimitKey), "2147483648");
        EXPECT_EQ(limits.Get(kSeedSecondsKey), "86400");
        EXPECT_EQ(limits.Get(kUploadRateKey), "0");
        EXPECT_EQ(limits.Get(kPeerPortKey), "6881");
        struct Row {
            const char* key;
            const char* value;
            bool taken;
        };
        const Row rows[] = {
            {kCacheLimitKey, "1000", true},   {kUploadRateKey, "65536", true},
            {kSeedSecondsKey, "0", true},     {kPeerPortKey, "7000", true},
            {kPeerPortKey, "65536", false},   {kUploadRateKey, "-1", false},
            {kCacheLimitKey, "12abc", false}, {kCacheLimitKey, "", false},
            {"peerBytes", "5", false},        {"noSuchKey", "1", false},
        };
        for (const Row& row : rows)
            EXPECT_EQ(limits.Set(row.key, row.value), row.taken) << row.key << "=" << row.value;
    }
    SwarmLimits again(file, -1);
    const SwarmLimitValues values = again.Values();
    EXPECT_EQ(values.cacheLimitBytes, 1000);
    EXPECT_EQ(values.uploadRateLimit, 65536);
    EXPECT_EQ(values.seedSeconds, 0);
    EXPECT_EQ(values.peerPort, 7000);
    // A port on the command line wins over the saved one.
    EXPECT_EQ(SwarmLimits(file, 0).Values().peerPort, 0);
}

}  // namespace
}  // namespace vesk::tsp_service
