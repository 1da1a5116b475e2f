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
constexpr auto kRateWindow = std::chrono::seconds(1);

std::string HexOf(const lt::sha1_hash& hash) {
    std::ostringstream hex;
    hex << hash;
    return hex.str();
}

std::int64_t Now() {
    return static_cast<std::int64_t>(std::time(nullptr));
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
    // The engine opens its sockets on its own thread; a call into that thread waits until it
    // has, so a service that says it is listening takes peers from its first transfer on.
    static_cast<void>(m_session.listen_port());
    ReAddCache();
    m_alerts = std::thread([this] { DrainAlerts(); });
}

Swarm::~Swarm() {
    {
        std::lock_guard lock(m_mutex);
        for (auto& [hash, record] : m_records) record.fetcher.reset();
    }
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
        record.url = url;
        record.handle.resume();
        // Left paused by an earlier transfer: going again from now on, not at the next update.
        if (record.progress.phase == SwarmPhase::kPaused)
            record.progress.phase = SwarmPhase::kStarting;
        StartFetcher(record);
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
    auto ownCopy = std::make_shared<lt::torrent_info>(*info);
    // The server is asked by the service's own fetcher, for what the swarm lacks only; a web
    // seed in the torrent would have the engine fetch whatever it picks from it.
    ownCopy->set_web_seeds({});
    params.ti = std::move(ownCopy);
    params.save_path = m_cache.Folder(entry.infoHash).string();
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
    record.url = entry.url;
    record.progress.total = info->total_size();
    record.progress.file = m_cache.Folder(entry.infoHash) / entry.fileName;
    if (entry.finishedAt != 0) record.progress.phase = SwarmPhase::kFinished;
    StartFetcher(record);
    return true;
}

// The server sends what the swarm lacks, until the package is whole or the record pauses.
void Swarm::StartFetcher(Record& record) {
    if (record.fetcher || record.progress.phase == SwarmPhase::kFinished) return;
    const auto url = SplitPackageUrl(record.url);
    if (!url) return;
    record.fetcher = std::make_unique<ServerFetcher>(record.handle, record.info, *url,
                                                     *record.fromServer, m_counters.fromServer);
}

std::optional<SwarmProgress> Swarm::Progress(const std::string& infoHash) {
    std::lock_guard lock(m_mutex);
    const auto it = m_records.find(infoHash);
    if (it == m_records.end()) return std::nullopt;
    SwarmProgress progress = it->second.progress;
    progress.fromServer = *it->second.fromServer;
    return progress;
}

void Swarm::Pause(const std::string& infoHash) {
    std::lock_guard lock(m_mutex);
    const auto it = m_records.find(infoHash);
    if (it == m_records.end() || it->second.progress.phase == SwarmPhase::kFinished) return;
    it->second.fetcher.reset();
    it->second.handle.pause();
    it->second.progress.phase = SwarmPhase::kPaused;
}

void Swarm::Resume(const std::string& infoHash) {
    std::lock_guard lock(m_mutex);
    const auto it = m_records.find(infoHash);
    if (it == m_records.end() || it->second.progress.phase != SwarmPhase::kPaused) return;
    it->second.handle.resume();
    it->second.progress.phase = SwarmPhase::kStarting;
    StartFetcher(it->second);
}

void Swarm::LetGo(const std::string& infoHash, bool deleteFiles) {
    std::lock_guard lock(m_mutex);
    const auto it = m_records.find(infoHash);
    if (it == m_records.end()) return;
    Record& record = it->second;
    if (record.holders > 0) --record.holders;
    if (record.holders > 0 || record.progress.phase == SwarmPhase::kFinished) return;
    record.fetcher.reset();
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
        // The server's pieces, handed to the engine whole, finish blocks of no peer.
        if (block->endpoint == lt::tcp::endpoint()) return;
        CountBlock(block->handle.info_hashes().v1, static_cast<int>(block->piece_index),
                   block->block_index);
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
            progress.rate = status.download_payload_rate + ServerRate(it->second);
            if (status.errc) progress.error = status.errc.message();
        }
    } else if (const auto* finished = lt::alert_cast<lt::torrent_finished_alert>(alert)) {
        const std::string hash = HexOf(finished->handle.info_hashes().v1);
        const auto it = m_records.find(hash);
        if (it == m_records.end()) return;
        it->second.progress.phase = SwarmPhase::kFinished;
        it->second.progress.done = it->second.progress.total;
        it->second.fetcher.reset();
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

int Swarm::ServerRate(Record& record) {
    const auto now = std::chrono::steady_clock::now();
    const std::chrono::duration<double> elapsed = now - record.sampledAt;
    if (elapsed < kRateWindow) return record.serverRate;
    const std::int64_t bytes = *record.fromServer;
    record.serverRate =
        static_cast<int>(static_cast<double>(bytes - record.sampledServerBytes) / elapsed.count());
    record.sampledServerBytes = bytes;
    record.sampledAt = now;
    return record.serverRate;
}

// Blocks from peers only: the server's pieces reach the engine whole and are counted as fetched.
void Swarm::CountBlock(const lt::sha1_hash& hash, int piece, int block) {
    std::lock_guard lock(m_mutex);
    const auto it = m_records.find(HexOf(hash));
    if (it == m_records.end() || !it->second.info) return;
    const int pieceSize = it->second.info->piece_size(lt::piece_index_t{piece});
    const std::int64_t bytes = std::min(kBlockSize, pieceSize - block * kBlockSize);
    if (bytes <= 0) return;
    it->second.progress.fromPeers += bytes;
    m_counters.fromPeers += bytes;
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
        it->second.fetcher.reset();
        m_session.remove_torrent(it->second.handle, lt::session::delete_files);
        m_records.erase(it);
    }
}

}  // namespace vesk::tsp_service
