// N peer-to-peer services fetching one package at once, against N fetching it over HTTP
// alone, both from the same rate-limited update server on 127.0.0.1. Prints the time of each,
// what the server sent, and last "swarm: server share S": the server's bytes in the swarm over
// N times the package's size.
//   swarm_bench N MEGABYTES SERVER_MB_PER_S

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <optional>
#include <vector>

#include "SwarmRig.h"
#include "TempDir.h"

namespace {

using Seconds = std::chrono::duration<double>;

constexpr std::chrono::seconds kDeadline{900};
// The goals: the server's share, and the swarm's time over HTTP's.
constexpr double kShareGoal = 0.25;
constexpr double kTimeGoal = 0.6;

struct Outcome {
    Seconds time{};
    std::int64_t serverBytes = 0;
    std::int64_t packageBytes = 0;
};

std::optional<Outcome> Fetch(int peers, std::int64_t bytes, std::int64_t rate, bool p2p) {
    const vesk::test::TempDir folder;
    vesk::test::SwarmRig rig(folder.path(), {VESK_PACKAGER, VESK_UPDATE_SERVER, VESK_TSP_SERVICE});
    if (!rig.Publish(bytes, rate) || (p2p && !rig.StartTracker()) || !rig.AddPeers(peers)) {
        std::fprintf(stderr, "swarm: cannot set up the %s run\n", p2p ? "swarm" : "HTTP");
        return std::nullopt;
    }
    std::vector<std::size_t> all(static_cast<std::size_t>(peers));
    std::iota(all.begin(), all.end(), 0);
    const auto time = rig.FetchAll(all, p2p, kDeadline);
    if (!time) {
        std::fprintf(stderr, "swarm: the %s run did not complete\n", p2p ? "swarm" : "HTTP");
        return std::nullopt;
    }
    rig.Stop();
    return Outcome{*time, rig.ServerSent(), rig.packageSize()};
}

double Megabytes(std::int64_t bytes) {
    return static_cast<double>(bytes) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const int peers = argc > 1 ? std::atoi(argv[1]) : 8;
    const std::int64_t bytes = (argc > 2 ? std::atoll(argv[2]) : 40) * 1000 * 1000;
    const std::int64_t rate = (argc > 3 ? std::atoll(argv[3]) : 20) * 1000 * 1000;
    if (peers < 1 || bytes < 1 || rate < 1) {
        std::fprintf(stderr, "usage: swarm_bench N MEGABYTES SERVER_MB_PER_S\n");
        return 2;
    }
    std::printf("swarm: %d players, a package of %.0f MB, the server limited to %.0f MB/s\n", peers,
                Megabytes(bytes), Megabytes(rate));
    const auto http = Fetch(peers, bytes, rate, false);
    if (!http) return 1;
    std::printf("http only: all %d done in %.1f s, the server sent %.1f MB\n", peers,
                http->time.count(), Megabytes(http->serverBytes));
    const auto swarm = Fetch(peers, bytes, rate, true);
    if (!swarm) return 1;
    const double share = static_cast<double>(swarm->serverBytes) /
                         (static_cast<double>(peers) * static_cast<double>(swarm->packageBytes));
    const double timeRatio = swarm->time.count() / http->time.count();
    std::printf("swarm: all %d done in %.1f s, the server sent %.1f MB\n", peers,
                swarm->time.count(), Megabytes(swarm->serverBytes));
    std::printf("time: swarm over http only %.2f (goal <= %.1f: %s)\n", timeRatio, kTimeGoal,
                timeRatio <= kTimeGoal ? "met" : "not met");
    std::printf("share goal <= %.2f: %s\n", kShareGoal, share <= kShareGoal ? "met" : "not met");
    std::printf("swarm: server share %.3f\n", share);
    return 0;
}
