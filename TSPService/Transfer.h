#pragma once
// One package transfer. Allowed to use peers, it first asks the server for the package's
// torrent: one that names exactly the package's file is downloaded through the swarm (with
// the server as a web seed) and the finished file placed in the destination folder; without
// one it downloads over HTTP. Public calls are safe from any thread.

#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "HttpTransfer.h"
#include "PackageFetch.h"
#include "TransferView.h"
#include "swarm/Swarm.h"

namespace vesk::tsp_service {

class Transfer {
public:
    Transfer(std::string torrentId, std::string url, std::filesystem::path destDir, int connections,
             bool p2p, Swarm& swarm, ByteCounters& counters);
    ~Transfer();
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    void Begin();
    void Pause();
    void Resume();
    // Ends the transfer; with deleteFiles also removes what it downloaded.
    void Stop(bool deleteFiles);
    void SetP2P(bool on);
    TransferView View();

private:
    enum class Way { kChoosing, kHttp, kSwarm };

    void Run();
    bool JoinSwarm();
    void FollowSwarm();
    bool PlaceFile(const std::filesystem::path& cached);
    void SwarmFields(TransferView& view);

    const std::string m_id;
    const std::string m_url;
    const std::filesystem::path m_destDir;
    const std::string m_fileName;
    const int m_connections;
    Swarm& m_swarm;
    ByteCounters& m_counters;
    FetchGroup m_fetches;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    Way m_way = Way::kChoosing;
    bool m_p2p;
    bool m_pauseAsked = false;
    bool m_stopAsked = false;
    bool m_placed = false;
    bool m_heldInSwarm = false;
    std::string m_failure;
    std::string m_infoHash;
    SwarmProgress m_placedProgress;
    std::unique_ptr<HttpTransfer> m_http;
    std::thread m_worker;
};

}  // namespace vesk::tsp_service
