#pragma once
// The service's place in the swarms of the packages it downloads and seeds: one engine
// session whose alerts one thread of its own drains into records, and the seeding cache it
// downloads into. Transfers ask through the package's info-hash and get answers from the
// records, never waiting on the engine. Public calls are safe from any thread.

#include <libtorrent/session.hpp>
#include <libtorrent/torrent_handle.hpp>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "PackageTorrent.h"
#include "SeedCache.h"
#include "ServerFetcher.h"
#include "SwarmLimits.h"

namespace vesk::tsp_service {

// Payload bytes of every transfer since the service started, by source.
struct ByteCounters {
    std::atomic<std::int64_t> fromPeers{0};
    std::atomic<std::int64_t> fromServer{0};
};

enum class SwarmPhase { kStarting, kDownloading, kPaused, kFinished, kFailed };

struct SwarmProgress {
    SwarmPhase phase = SwarmPhase::kStarting;
    std::int64_t done = 0;
    std::int64_t total = 0;
    int rate = 0;
    std::int64_t fromPeers = 0;
    std::int64_t fromServer = 0;
    std::string error;
    std::filesystem::path file;  // the package's file in the cache
};

class Swarm {
public:
    Swarm(const std::string& peerInterface, SwarmLimits& limits, std::filesystem::path cacheRoot,
          ByteCounters& counters);
    ~Swarm();
    Swarm(const Swarm&) = delete;
    Swarm& operator=(const Swarm&) = delete;

    // Downloads (or goes on downloading or seeding) the torrent into the cache, asking the
    // package URL for the pieces the swarm cannot give. The transfer holds the entry until it lets
    // go.
    bool Join(const PackageTorrent& torrent, const std::string& torrentBytes,
              const std::string& url, std::string& error);
    std::optional<SwarmProgress> Progress(const std::string& infoHash);
    void Pause(const std::string& infoHash);
    void Resume(const std::string& infoHash);
    // The transfer is done with the entry. Unfinished, it stops; deleteFiles drops its bytes.
    void LetGo(const std::string& infoHash, bool deleteFiles);
    // The limits changed: the engine's settings and the cache follow.
    void ApplyLimits();
    int ListenPort();

private:
    struct Record {
        lt::torrent_handle handle;
        SwarmProgress progress;
        std::string url;
        std::shared_ptr<const lt::torrent_info> info;
        int holders = 0;
        // Shared with the fetcher, which never takes the swarm's lock.
        std::shared_ptr<std::atomic<std::int64_t>> fromServer =
            std::make_shared<std::atomic<std::int64_t>>(0);
        std::unique_ptr<ServerFetcher> fetcher;
        // The engine's rate leaves the server's pieces out: they are measured here.
        std::int64_t sampledServerBytes = 0;
        std::chrono::steady_clock::time_point sampledAt;
        int serverRate = 0;
    };

    void ReAddCache();
    bool AddLocked(const std::shared_ptr<const lt::torrent_info>& info, const CacheEntry& entry,
                   std::string& error);
    void DrainAlerts();
    void Handle(lt::alert* alert);
    void CountBlock(const lt::sha1_hash& hash, int piece, int block);
    void StartFetcher(Record& record);
    static int ServerRate(Record& record);
    void Tidy();

    SwarmLimits& m_limits;
    ByteCounters& m_counters;
    const std::string m_peerInterface;
    lt::session m_session;
    std::mutex m_mutex;
    SeedCache m_cache;
    std::map<std::string, Record> m_records;
    std::atomic<bool> m_stop{false};
    std::thread m_alerts;
};

}  // namespace vesk::tsp_service
