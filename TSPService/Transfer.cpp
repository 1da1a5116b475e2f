#include "Transfer.h"

#include "swarm/PackageTorrent.h"

namespace vesk::tsp_service {
namespace {

constexpr const char* kTorrentSuffix = ".torrent";
constexpr auto kSwarmPoll = std::chrono::milliseconds(200);

// The package's URL with ".torrent" added to its path, before any query.
std::string TorrentUrlOf(const std::string& url) {
    const std::size_t query = url.find_first_of("?#");
    if (query == std::string::npos) return url + kTorrentSuffix;
    return url.substr(0, query) + kTorrentSuffix + url.substr(query);
}

}  // namespace

Transfer::Transfer(std::string torrentId, std::string url, std::filesystem::path destDir,
                   int connections, bool p2p, Swarm& swarm, ByteCounters& counters)
    : m_id(std::move(torrentId)),
      m_url(std::move(url)),
      m_destDir(std::move(destDir)),
      m_fileName(PackageFileName(m_url)),
      m_connections(connections),
      m_swarm(swarm),
      m_counters(counters),
      m_p2p(p2p) {}

Transfer::~Transfer() {
    Stop(false);
}

void Transfer::Begin() {
    m_worker = std::thread([this] { Run(); });
}

void Transfer::Pause() {
    std::lock_guard lock(m_mutex);
    m_pauseAsked = true;
    if (m_way == Way::kHttp) m_http->Pause();
    if (m_way == Way::kSwarm && !m_placed) m_swarm.Pause(m_infoHash);
}

void Transfer::Resume() {
    std::lock_guard lock(m_mutex);
    m_pauseAsked = false;
    if (m_way == Way::kHttp) m_http->Resume();
    if (m_way == Way::kSwarm) m_swarm.Resume(m_infoHash);
}

void Transfer::Stop(bool deleteFiles) {
    {
        std::lock_guard lock(m_mutex);
        m_stopAsked = true;
        m_wake.notify_all();
    }
    m_fetches.CutAll();
    if (m_worker.joinable()) m_worker.join();
    std::lock_guard lock(m_mutex);
    if (m_http) m_http->Stop(deleteFiles);
    if (m_heldInSwarm) m_swarm.LetGo(m_infoHash, deleteFiles);
    m_heldInSwarm = false;
    if (deleteFiles && m_way == Way::kSwarm) {
        std::error_code ignored;
        std::filesystem::remove(m_destDir / m_fileName, ignored);
    }
}

void Transfer::SetP2P(bool on) {
    std::lock_guard lock(m_mutex);
    m_p2p = on;
}

TransferView Transfer::View() {
    std::lock_guard lock(m_mutex);
    if (m_way == Way::kHttp) {
        TransferView view = m_http->View();
        view.p2p = m_p2p;
        return view;
    }
    TransferView view;
    view.torrentId = m_id;
    view.url = m_url;
    view.fileName = m_fileName;
    view.destDir = m_destDir;
    view.p2p = m_p2p;
    view.statusStr = "Starting";
    if (m_way == Way::kSwarm) SwarmFields(view);
    return view;
}

void Transfer::SwarmFields(TransferView& view) {
    // Once placed, the swarm may have dropped the package already.
    const auto progress = m_placed ? m_placedProgress : m_swarm.Progress(m_infoHash);
    if (!progress && m_failure.empty()) return;
    if (progress) {
        view.bytesDownloaded = progress->done;
        view.torrentSize = progress->total;
        view.bitRate = progress->rate;
        view.bytesFromPeers = progress->fromPeers;
        view.bytesFromServer = progress->fromServer;
    }
    if (!m_failure.empty()) {
        view.statusId = kStatusFailed;
        view.statusStr = "Failed: " + m_failure;
    } else if (m_placed) {
        view.statusId = kStatusComplete;
        view.statusStr = "Complete";
        view.bytesDownloaded = view.torrentSize;
    } else if (progress->phase == SwarmPhase::kPaused) {
        view.statusId = kStatusPaused;
        view.statusStr = "Paused";
        view.bitRate = -1;
    } else if (progress->phase != SwarmPhase::kStarting) {
        view.statusId = kStatusDownloading;
        view.statusStr = "Downloading";
    }
}

void Transfer::Run() {
    bool p2p = false;
    {
        std::lock_guard lock(m_mutex);
        p2p = m_p2p;
    }
    if (p2p && JoinSwarm()) {
        FollowSwarm();
        return;
    }
    std::lock_guard lock(m_mutex);
    if (m_stopAsked) return;
    m_http = std::make_unique<HttpTransfer>(m_id, m_url, m_destDir, m_connections,
                                            m_counters.fromServer);
    m_http->SetP2P(m_p2p);
    m_http->Begin();
    if (m_pauseAsked) m_http->Pause();
    m_way = Way::kHttp;
}

// True once the transfer holds the package's torrent in the swarm.
bool Transfer::JoinSwarm() {
    const auto torrentUrl = SplitPackageUrl(TorrentUrlOf(m_url));
    if (!torrentUrl) return false;
    const auto bytes = FetchSmall(*torrentUrl, kTorrentSizeCap, m_fetches);
    if (!bytes) return false;
    std::string reason;
    const auto torrent = AcceptPackageTorrent(*bytes, m_fileName, reason);
    if (!torrent) return false;
    std::lock_guard lock(m_mutex);
    if (m_stopAsked || !m_swarm.Join(*torrent, *bytes, m_url, reason)) return false;
    m_infoHash = torrent->infoHash;
    m_heldInSwarm = true;
    m_way = Way::kSwarm;
    if (m_pauseAsked) m_swarm.Pause(m_infoHash);
    return true;
}

void Transfer::FollowSwarm() {
    std::unique_lock lock(m_mutex);
    while (!m_stopAsked) {
        const auto progress = m_swarm.Progress(m_infoHash);
        if (!progress) {
            m_failure = "left the swarm";
            return;
        }
        if (progress->phase == SwarmPhase::kFailed) {
            m_failure = progress->error.empty() ? "download failed" : progress->error;
            return;
        }
        if (progress->phase == SwarmPhase::kFinished) {
            if (!PlaceFile(progress->file)) {
                m_failure = "cannot write the package";
                return;
            }
            m_placed = true;
            m_placedProgress = *progress;
            // Seeding goes on from the cache for as long as the limits allow.
            m_swarm.LetGo(m_infoHash, false);
            m_heldInSwarm = false;
            return;
        }
        m_wake.wait_for(lock, kSwarmPoll);
    }
}

// The cache keeps its own copy to seed, since the caller deletes the package once unpacked.
bool Transfer::PlaceFile(const std::filesystem::path& cached) {
    std::error_code error;
    std::filesystem::create_directories(m_destDir, error);
    const std::filesystem::path target = m_destDir / m_fileName;
    std::filesystem::remove(target, error);
    std::filesystem::create_hard_link(cached, target, error);
    if (!error) return true;
    error.clear();
    std::filesystem::copy_file(cached, target, std::filesystem::copy_options::overwrite_existing,
                               error);
    return !error;
}

}  // namespace vesk::tsp_service
