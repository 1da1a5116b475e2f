// Six players fetch one package at once through their peer-to-peer services, on 127.0.0.1
// with a tracker and an update server limited in rate: each gets the package whole, and the
// server sends far fewer than six copies.

#include <gtest/gtest.h>

#include <iostream>
#include <numeric>

#include "SwarmRig.h"
#include "TempDir.h"

namespace {

using vesk::test::SwarmRig;

constexpr int kPlayers = 6;
// Six services under a sanitizer share two cores slowly: a smaller package keeps the run
// bounded while every thread of the swarm still meets the others.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
#define VESK_SANITIZED_BUILD 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VESK_SANITIZED_BUILD 1
#endif
#endif
#ifdef VESK_SANITIZED_BUILD
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
constexpr std::int64_t kPackageBytes = (kSanitized ? 6 : 20) * 1000 * 1000;
// One copy from the server alone takes ten seconds, six a minute.
constexpr std::int64_t kServerRate = 2 * 1000 * 1000;
constexpr std::chrono::seconds kDeadline{50};

TEST(SwarmTest, SixPlayersShareAPackageAndTheServerSendsLessThanTwoCopies) {
    const vesk::test::TempDir folder;
    SwarmRig rig(folder.path(), {VESK_PACKAGER, VESK_UPDATE_SERVER, VESK_TSP_SERVICE});
    ASSERT_TRUE(rig.Publish(kPackageBytes, kServerRate));
    ASSERT_TRUE(rig.StartTracker());
    ASSERT_TRUE(rig.AddPeers(kPlayers));
    std::vector<std::size_t> all(kPlayers);
    std::iota(all.begin(), all.end(), 0);

    const auto took = rig.FetchAll(all, true, kDeadline);
    ASSERT_TRUE(took) << "not every player had the package within " << kDeadline.count() << " s";
    std::int64_t fromPeers = 0;
    for (std::size_t i = 0; i < rig.peers(); ++i) {
        EXPECT_TRUE(rig.HasPackage(i)) << "player " << i;
        fromPeers += std::stoll(rig.peer(i).Value("p2p", "peerBytes").value_or("0"));
    }
    rig.Stop();
    std::cout << "all done in " << took->count() << " s; the server sent "
              << static_cast<double>(rig.ServerSent()) / static_cast<double>(rig.packageSize())
              << " copies\n";
    EXPECT_LT(rig.ServerSent(), 2 * rig.packageSize());
    EXPECT_GT(fromPeers, (kPlayers - 2) * rig.packageSize());
}

}  // namespace
