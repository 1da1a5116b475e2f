#pragma once
// One package transfer over HTTP: a worker thread that downloads the package into its
// destination folder, in several byte ranges at once when the server accepts ranges, resuming
// from the partial files it finds, and that can be paused, resumed and stopped. Public calls
// are safe from any thread.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "PackageFetch.h"
#include "TransferView.h"
#include "clock/Clock.h"

namespace vesk::tsp_service {

class HttpTransfer {
public:
    HttpTransfer(std::string torrentId, std::string url, std::filesystem::path destDir,
                 int connections, std::atomic<std::int64_t>& serverBytes);
    ~HttpTransfer();
    HttpTransfer(const HttpTransfer&) = delete;
    HttpTransfer& operator=(const HttpTransfer&) = delete;

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
    std::atomic<std::int64_t>& m_serverBytes;
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
