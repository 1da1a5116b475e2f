#include "HttpTransfer.h"

#include <algorithm>
#include <fstream>

namespace vesk::tsp_service {
namespace {

constexpr std::int64_t kMinSegment = 256 * 1024;
constexpr int kMaxFailedRounds = 3;
constexpr clock::Milliseconds kRateWindow{250};

std::int64_t SizeOf(const std::filesystem::path& file) {
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    return error ? 0 : static_cast<std::int64_t>(size);
}

}  // namespace

HttpTransfer::HttpTransfer(std::string torrentId, std::string url, std::filesystem::path destDir,
                           int connections, std::atomic<std::int64_t>& serverBytes)
    : m_id(std::move(torrentId)),
      m_url(std::move(url)),
      m_destDir(std::move(destDir)),
      m_fileName(PackageFileName(m_url)),
      m_connections(connections),
      m_serverBytes(serverBytes) {}

HttpTransfer::~HttpTransfer() {
    Stop(false);
}

void HttpTransfer::Begin() {
    m_rateSince = clock::Now();
    m_worker = std::thread([this] { Run(); });
}

void HttpTransfer::Pause() {
    std::lock_guard lock(m_mutex);
    if (m_state != State::kStarting && m_state != State::kRunning) return;
    m_pauseAsked = true;
    m_state = State::kPaused;
    m_fetches.CutAll();
}

void HttpTransfer::Resume() {
    std::lock_guard lock(m_mutex);
    if (m_state != State::kPaused) return;
    m_pauseAsked = false;
    m_state = State::kRunning;
    m_wake.notify_all();
}

void HttpTransfer::Stop(bool deleteFiles) {
    {
        std::lock_guard lock(m_mutex);
        m_stopAsked = true;
        m_wake.notify_all();
    }
    m_fetches.CutAll();
    if (m_worker.joinable()) m_worker.join();
    if (!deleteFiles) return;
    std::error_code ignored;
    for (const Segment& segment : m_segments) std::filesystem::remove(segment.part, ignored);
    std::filesystem::remove(Target(), ignored);
}

void HttpTransfer::SetP2P(bool on) {
    std::lock_guard lock(m_mutex);
    m_p2p = on;
}

TransferView HttpTransfer::View() {
    std::lock_guard lock(m_mutex);
    TransferView view;
    view.torrentId = m_id;
    view.url = m_url;
    view.fileName = m_fileName;
    view.destDir = m_destDir;
    static constexpr const char* kTexts[] = {"Starting", "Downloading", "Paused", "Complete",
                                             "Failed"};
    static constexpr int kIds[] = {kStatusStarting, kStatusDownloading, kStatusPaused,
                                   kStatusComplete, kStatusFailed};
    const auto index = static_cast<std::size_t>(m_state);
    view.statusId = kIds[index];
    view.statusStr =
        m_reason.empty() ? kTexts[index] : std::string(kTexts[index]) + ": " + m_reason;
    view.bytesDownloaded = m_downloaded.load();
    view.torrentSize = m_size < 0 ? 0 : m_size;
    view.bitRate = m_state == State::kPaused ? -1 : Rate(view.bytesDownloaded);
    view.bytesFromServer = view.bytesDownloaded;
    view.p2p = m_p2p;
    return view;
}

// Bytes per second over the last window of at least kRateWindow; called under the lock.
int HttpTransfer::Rate(std::int64_t bytes) {
    if (m_state != State::kRunning) return 0;
    const clock::Milliseconds now = clock::Now();
    const auto elapsed = (now - m_rateSince).count();
    if (elapsed >= kRateWindow.count()) {
        m_rate = static_cast<int>((bytes - m_rateBytes) * 1000 / elapsed);
        m_rateSince = now;
        m_rateBytes = bytes;
    }
    return m_rate;
}

void HttpTransfer::Run() {
    try {
        Download();
    } catch (...) {
        Finish(State::kFailed, "internal error");
    }
}

void HttpTransfer::Download() {
    if (!Prepare()) return;
    int failedRounds = 0;
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return !m_pauseAsked || m_stopAsked; });
            if (m_stopAsked) return;
            m_state = State::kRunning;
        }
        const FetchEnd end = RunRound();
        if (end == FetchEnd::kComplete) {
            if (Assemble()) {
                Finish(State::kComplete, "");
            } else {
                Finish(State::kFailed, "cannot write the package");
            }
            return;
        }
        if (end == FetchEnd::kFailed && ++failedRounds >= kMaxFailedRounds) {
            Finish(State::kFailed, "download failed");
            return;
        }
    }
}

bool HttpTransfer::Prepare() {
    const auto parts = SplitPackageUrl(m_url);
    std::error_code error;
    std::filesystem::create_directories(m_destDir, error);
    if (!parts || error) {
        Finish(State::kFailed, parts ? "cannot create the folder" : "bad package URL");
        return false;
    }
    m_parts = *parts;
    PackageProbe probe = ProbePackage(m_parts, m_fetches);
    while (probe.cut) {
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return !m_pauseAsked || m_stopAsked; });
            if (m_stopAsked) return false;
        }
        probe = ProbePackage(m_parts, m_fetches);
    }
    if (!probe.reachable) {
        Finish(State::kFailed, "package not reachable");
        return false;
    }
    PlanSegments(probe);
    return true;
}

// Fixed boundaries for a given size, so the partial files of an earlier run line up again.
void HttpTransfer::PlanSegments(const PackageProbe& probe) {
    std::lock_guard lock(m_mutex);
    m_size = probe.size;
    if (!probe.ranges) {
        m_segments = {{0, -1, m_destDir / (m_fileName + ".part0")}};
        return;
    }
    const std::int64_t count = std::clamp<std::int64_t>(m_size / kMinSegment, 1, m_connections);
    std::int64_t have = 0;
    for (std::int64_t k = 0; k < count; ++k) {
        Segment segment{m_size * k / count, m_size * (k + 1) / count,
                        m_destDir / (m_fileName + ".part" + std::to_string(k))};
        const std::int64_t length = segment.end - segment.begin;
        std::error_code ignored;
        if (SizeOf(segment.part) > length) std::filesystem::resize_file(segment.part, 0, ignored);
        have += SizeOf(segment.part);
        m_segments.push_back(segment);
    }
    m_downloaded = have;
}

FetchEnd HttpTransfer::RunRound() {
    std::vector<FetchEnd> ends(m_segments.size(), FetchEnd::kComplete);
    std::vector<std::thread> threads;
    for (std::size_t k = 0; k < m_segments.size(); ++k)
        threads.emplace_back([this, k, &ends] { ends[k] = RunSegment(m_segments[k]); });
    for (auto& thread : threads) thread.join();
    FetchEnd round = FetchEnd::kComplete;
    for (const FetchEnd end : ends) {
        if (end == FetchEnd::kFailed) return FetchEnd::kFailed;
        if (end == FetchEnd::kStopped) round = FetchEnd::kStopped;
    }
    return round;
}

FetchEnd HttpTransfer::RunSegment(const Segment& segment) {
    const auto count = [this](std::size_t size) {
        m_downloaded += static_cast<std::int64_t>(size);
        m_serverBytes += static_cast<std::int64_t>(size);
        return KeepGoing();
    };
    if (segment.end < 0) {
        m_downloaded = 0;
        return FetchRange(m_parts, 0, -1, segment.part, count, m_fetches);
    }
    const std::int64_t have = SizeOf(segment.part);
    if (segment.begin + have >= segment.end) return FetchEnd::kComplete;
    return FetchRange(m_parts, segment.begin + have, segment.end, segment.part, count, m_fetches);
}

bool HttpTransfer::Assemble() {
    std::error_code error;
    if (m_segments.size() == 1) {
        std::filesystem::rename(m_segments.front().part, Target(), error);
    } else {
        // A file of that name may be a link to the copy the swarm seeds: replace, never write
        // through it.
        std::filesystem::remove(Target(), error);
        std::ofstream out(Target(), std::ios::binary | std::ios::trunc);
        for (const Segment& segment : m_segments) {
            std::ifstream in(segment.part, std::ios::binary);
            out << in.rdbuf();
        }
        out.close();
        if (!out) return false;
        for (const Segment& segment : m_segments) std::filesystem::remove(segment.part, error);
    }
    if (error) return false;
    std::lock_guard lock(m_mutex);
    if (m_size < 0) m_size = SizeOf(Target());
    return SizeOf(Target()) == m_size;
}

bool HttpTransfer::KeepGoing() {
    std::lock_guard lock(m_mutex);
    return !m_pauseAsked && !m_stopAsked;
}

void HttpTransfer::Finish(State state, std::string reason) {
    std::lock_guard lock(m_mutex);
    m_state = state;
    m_reason = std::move(reason);
}

std::filesystem::path HttpTransfer::Target() const {
    return m_destDir / m_fileName;
}

}  // namespace vesk::tsp_service
