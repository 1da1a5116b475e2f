#include "Swarm.h"

#include <libtorrent/add_torrent_params.hpp>
#include <libtorrent/alert_types.hpp>
#include <libtorrent/session_params.hpp>
#include <libtorrent/torrent_status.hpp>

#include <chrono>
#include <ctime>
#include <sstream>

#include "../PackageFetch.h"
#include "SwarmSettings.h"

namespace vesk::tsp_service {
namespace {

constexpr auto kAlertWait = std::chrono::milliseconds(250);
constexpr int kBlockSize = 16 * 1024;

std::string HexOf(const lt::sha1_hash& hash) {
    std::ostringstream hex;
    hex << hash;
    return hex.str();
}

std::int64_t Now() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

// The port the web seed answers on, so its blocks can be told from the peers'.
int PortOf(const std::string& url) {
    const auto parts = SplitPackageUrl(url);
    if (!parts) return 0;
    const std::size_t host = parts->origin.find("://") + 3;
    const std::size_t colon = parts->origin.rfind(':');
    const std::size_t bracket = parts->origin.rfind(']');
    if (colon != std::string::npos && colon > host &&
        (bracket == std::string::npos || colon > bracket)) {
        try {
            return std::stoi(parts->origin.substr(colon + 1));
        } catch (...) {
            return 0;
        }
    }
    return parts->origin.starts_with("https") ? 443 : 80;
}

SwarmPhase PhaseOf(const lt::torrent_status& status) {
    if (status.errc) return SwarmPhase::kFailed;
    if (status.flags & lt::torrent_flags::paused) return SwarmPhase::kPaused;
    if (status.is_finished) return SwarmPhase::kFinished;
    if (status.state == lt::torrent_status::downloading) return SwarmPhase::kDownloading;
    return SwarmPhase::kStarting;
}

lt::session_params ParamsFor(const std::string& peerInterface, const SwarmLimitValues& limits) {
    lt::session_params params(SwarmSettingsPack(peerInterface, limits));
    return params;
}

}  // namespace

Swarm::Swarm(const std::string& peerInterface, SwarmLimits& limits, std::filesystem::path cacheRoot,
             ByteCounters& counters)
    : m_limits(limits),
      m_counters(counters),
      m_peerInterface(peerInterface),
      m_session(ParamsFor(peerInterface, limits.Values())),
      m_cache(std::move(cacheRoot)) {
    ReAddCache();
    m_alerts = std::thread([this] { DrainAlerts(); });
}

Swarm::~Swarm() {
    m_stop = true;
    // Any alert wakes the thread at once.
    m_session.post_session_stats();
    m_alerts.join();
}

// What a killed or ended service kept: finished packages seed again without a check, partial
// ones are checked and go on from what passed.
void Swarm::ReAddCache() {
    std::lock_guard lock(m_mutex);
    for (const CacheEntry& entry : m_cache.List()) {
        std::string error;
        const auto torrent =
            AcceptPackageTorrent(m_cache.TorrentBytes(entry.infoHash), entry.fileName, error);
        if (!torrent || torrent->infoHash != entry.infoHash ||
            !AddLocked(torrent->info, entry, error)) {
            m_cache.Remove(entry.infoHash);
        }
    }
}

bool Swarm::Join(const PackageTorrent& torrent, const std::string& torrentBytes,
                 const std::string& url, std::string& error) {
    std::lock_guard lock(m_mutex);
    const auto it = m_records.find(torrent.infoHash);
    if (it != m_records.end()) {
        Record& record = it->second;
        ++record.holders;
        record.handle.add_url_seed(url);
        record.handle.resume();
        // Left paused by an earlier transfer: going again from now on, not at the next update.
        if (record.progress.phase == SwarmPhase::kPaused)
            record.progress.phase = SwarmPhase::kStarting;
        return true;
    }
    const CacheEntry entry{torrent.infoHash, url,
                           torrent.info->files().file_name(lt::file_index_t{0}).to_string(),
                           torrent.info->total_size(), 0};
    if (!m_cache.Create(entry, torrentBytes)) {
        error = "cannot write the cache";
        return false;
    }
    if (!AddLocked(torrent.info, entry, error)) return false;
    ++m_records[torrent.infoHash].holders;
    return true;
}

bool Swarm::AddLocked(const std::shared_ptr<const lt::torrent_info>& info, const CacheEntry& entry,
                      std::string& error) {
    lt::add_torrent_params params;
    params.ti = std::make_shared<lt::torrent_info>(*info);
    params.save_path = m_cache.Folder(entry.infoHash).string();
    if (!entry.url.empty()) params.url_seeds.push_back(entry.url);
    // Ours to start and stop, not the engine's queue.
    params.flags &= ~(lt::torrent_flags::auto_managed | lt::torrent_flags::paused);
    if (entry.finishedAt != 0) params.flags |= lt::torrent_flags::seed_mode;
    lt::error_code failure;
    lt::torrent_handle handle = m_session.add_torrent(std::move(params), failure);
    if (failure) {
        error = failure.message();
        return false;
    }
    Record& record = m_records[entry.infoHash];
    record.handle = handle;
    record.info = info;
    record.webSeedPort = PortOf(entry.url);
    record.progress.total = info->total_size();
    record.progress.file = m_cache.Folder(entry.infoHash) / entry.fileName;
    if (entry.finishedAt != 0) record.progress.phase = SwarmPhase::kFinished;
    return true;
}

std::optional<SwarmProgress> Swarm::Progress(const std::string& infoHash) {
    std::lock_guard lock(m_mutex);
    const auto it = m_records.find(infoHash);
    if (it == m_records.end()) return std::nullopt;
    return it->second.progress;
}

void Swarm::Pause(const std::string& infoHash) {
    std::lock_guard lock(m_mutex);
    const auto it = m_records.find(infoHash);
    if (it == m_records.end() || it->second.progress.phase == SwarmPhase::kFinished) return;
    it->second.handle.pause();
    it->second.progress.phase = SwarmPhase::kPaused;
}

void Swarm::Resume(const std::string& infoHash) {
    std::lock_guard lock(m_mutex);
    const auto it = m_records.find(infoHash);
    if (it == m_records.end() || it->second.progress.phase != SwarmPhase::kPaused) return;
    it->second.handle.resume();
    it->second.progress.phase = SwarmPhase::kStarting;
}

void Swarm::LetGo(const std::string& infoHash, bool deleteFiles) {
    std::lock_guard lock(m_mutex);
    const auto it = m_records.find(infoHash);
    if (it == m_records.end()) return;
    Record& record = it->second;
    if (record.holders > 0) --record.holders;
    if (record.holders > 0 || record.progress.phase == SwarmPhase::kFinished) return;
    if (!deleteFiles) {
        record.handle.pause();
        record.progress.phase = SwarmPhase::kPaused;
        return;
    }
    m_session.remove_torrent(record.handle, lt::session::delete_files);
    m_records.erase(it);
}

void Swarm::ApplyLimits() {
    m_session.apply_settings(SwarmSettingsPack(m_peerInterface, m_limits.Values()));
}

int Swarm::ListenPort() {
    return m_session.listen_port();
}

void Swarm::DrainAlerts() {
    auto lastTidy = std::chrono::steady_clock::now();
    while (!m_stop) {
        m_session.wait_for_alert(kAlertWait);
        std::vector<lt::alert*> alerts;
        m_session.pop_alerts(&alerts);
        for (lt::alert* alert : alerts) Handle(alert);
        const auto now = std::chrono::steady_clock::now();
        if (now - lastTidy >= kAlertWait) {
            lastTidy = now;
            m_session.post_torrent_updates();
            Tidy();
        }
    }
}

void Swarm::Handle(lt::alert* alert) {
    if (const auto* block = lt::alert_cast<lt::block_finished_alert>(alert)) {
        CountBlock(block->handle.info_hashes().v1, block->endpoint.port(),
                   static_cast<int>(block->piece_index), block->block_index);
        return;
    }
    std::lock_guard lock(m_mutex);
    if (const auto* update = lt::alert_cast<lt::state_update_alert>(alert)) {
        for (const lt::torrent_status& status : update->status) {
            const auto it = m_records.find(HexOf(status.info_hashes.v1));
            if (it == m_records.end()) continue;
            SwarmProgress& progress = it->second.progress;
            progress.phase = PhaseOf(status);
            progress.done = status.total_wanted_done;
            progress.total = status.total_wanted;
            progress.rate = status.download_payload_rate;
            if (status.errc) progress.error = status.errc.message();
        }
    } else if (const auto* finished = lt::alert_cast<lt::torrent_finished_alert>(alert)) {
        const std::string hash = HexOf(finished->handle.info_hashes().v1);
        const auto it = m_records.find(hash);
        if (it == m_records.end()) return;
        it->second.progress.phase = SwarmPhase::kFinished;
        it->second.progress.done = it->second.progress.total;
        m_cache.MarkFinished(hash, Now());
    } else if (const auto* deleted = lt::alert_cast<lt::torrent_deleted_alert>(alert)) {
        m_cache.Remove(HexOf(deleted->info_hashes.v1));
    } else if (const auto* failed = lt::alert_cast<lt::torrent_error_alert>(alert)) {
        const auto it = m_records.find(HexOf(failed->handle.info_hashes().v1));
        if (it == m_records.end()) return;
        it->second.progress.phase = SwarmPhase::kFailed;
        it->second.progress.error = failed->error.message();
    }
}

void Swarm::CountBlock(const lt::sha1_hash& hash, int port, int piece, int block) {
    std::lock_guard lock(m_mutex);
    const auto it = m_records.find(HexOf(hash));
    if (it == m_records.end() || !it->second.info) return;
    const int pieceSize = it->second.info->piece_size(lt::piece_index_t{piece});
    const std::int64_t bytes = std::min(kBlockSize, pieceSize - block * kBlockSize);
    if (bytes <= 0) return;
    if (port == it->second.webSeedPort) {
        it->second.progress.fromServer += bytes;
        m_counters.fromServer += bytes;
    } else {
        it->second.progress.fromPeers += bytes;
        m_counters.fromPeers += bytes;
    }
}

// Seeded long enough, or pushed out by newer packages: leaves the swarm and the cache.
void Swarm::Tidy() {
    const SwarmLimitValues limits = m_limits.Values();
    std::lock_guard lock(m_mutex);
    for (const std::string& hash :
         EntriesToDrop(m_cache.List(), limits.cacheLimitBytes, limits.seedSeconds, Now())) {
        const auto it = m_records.find(hash);
        if (it == m_records.end()) {
            m_cache.Remove(hash);
            continue;
        }
        if (it->second.holders > 0) continue;
        m_session.remove_torrent(it->second.handle, lt::session::delete_files);
        m_records.erase(it);
    }
}

}  // namespace vesk::tsp_service
