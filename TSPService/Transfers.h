#pragma once
// Every transfer the service runs, by torrent id. Safe from any thread.

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Transfer.h"
#include "swarm/Swarm.h"

namespace vesk::tsp_service {

class Transfers {
public:
    Transfers(int connections, Swarm& swarm, ByteCounters& counters);
    ~Transfers();

    // A new transfer, or the one already running for the same package and folder.
    TransferView Start(const std::string& url, const std::filesystem::path& destDir, bool p2p);
    std::optional<TransferView> View(const std::string& torrentId);
    std::optional<TransferView> Pause(const std::string& torrentId);
    std::optional<TransferView> Resume(const std::string& torrentId);
    bool Cancel(const std::string& torrentId, bool deleteFiles);
    bool SetP2P(const std::string& torrentId, bool on);
    // The named transfers that exist (ids separated by ","), or all when none is named.
    std::vector<TransferView> ViewList(const std::string& torrentIds);
    void StopAll();

private:
    std::shared_ptr<Transfer> Find(const std::string& torrentId);

    const int m_connections;
    Swarm& m_swarm;
    ByteCounters& m_counters;
    std::mutex m_mutex;
    std::map<std::string, std::shared_ptr<Transfer>> m_transfers;
};

}  // namespace vesk::tsp_service
