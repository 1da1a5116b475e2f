#pragma once
// One package transfer of the stand-in service: a worker thread that downloads the package
// into its destination folder, in several byte ranges at once when the server accepts
// ranges, resuming from the partial files it finds, and that can be paused, resumed and
// stopped. Public calls are safe from any thread.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "PackageFetch.h"
#include "clock/Clock.h"

namespace vesk::tsp_service {

// Status ids the service reports for a transfer.
inline constexpr int kStatusStarting = 202;
inline constexpr int kStatusDownloading = 204;
inline constexpr int kStatusPaused = 205;
inline constexpr int kStatusComplete = 206;
inline constexpr int kStatusFailed = 501;

struct TransferView {
    std::string torrentId;
    std::string url;
    std::string fileName;
    std::filesystem::path destDir;
    int statusId = kStatusStarting;
    std::string statusStr;
    std::int64_t bytesDownloaded = 0;
    std::int64_t torrentSize = 0;
    int bitRate = 0;  // bytes per second; -1 while paused
    bool p2p = true;
};

class Transfer {
public:
    Transfer(std::string torrentId, std::string url, std::filesystem::path destDir,
             int connections);
    ~Transfer();
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    void Begin();
    void Pause();
    void Resume();
    // Ends the worker; with deleteFiles also removes the partial and the finished file.
    void Stop(bool deleteFiles);
    void SetP2P(bool on);
    TransferView View();

private:
    enum class State { kStarting, kRunning, kPaused, kComplete, kFailed };
    struct Segment {
        std::int64_t begin = 0;
        std::int64_t end = -1;  // -1: the package's unknown end, fetched whole
        std::filesystem::path part;
    };

    void Run();
    void Download();
    bool Prepare();
    void PlanSegments(const PackageProbe& probe);
    FetchEnd RunRound();
    FetchEnd RunSegment(const Segment& segment);
    bool Assemble();
    bool KeepGoing();
    void Finish(State state, std::string reason);
    std::filesystem::path Target() const;
    int Rate(std::int64_t bytes);

    const std::string m_id;
    const std::string m_url;
    const std::filesystem::path m_destDir;
    const std::string m_fileName;
    const int m_connections;
    PackageUrl m_parts;
    std::vector<Segment> m_segments;
    std::int64_t m_size = -1;
    std::atomic<std::int64_t> m_downloaded{0};
    FetchGroup m_fetches;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    State m_state = State::kStarting;
    bool m_pauseAsked = false;
    bool m_stopAsked = false;
    bool m_p2p = true;
    std::string m_reason;
    clock::Milliseconds m_rateSince{0};
    std::int64_t m_rateBytes = 0;
    int m_rate = 0;
    std::thread m_worker;
};

}  // namespace vesk::tsp_service
