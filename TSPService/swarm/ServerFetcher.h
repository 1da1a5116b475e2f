#pragma once
// The server's part in one torrent's download: a thread that asks the package's server only for
// pieces the swarm cannot give (none of the connected peers holds them, nobody is fetching them),
// a random run at a time so players spread the server's bytes over different pieces, and hands
// them to the engine, which checks them. When the peers deliver nothing for a while it takes
// whatever is missing, so a lone player or a stingy swarm still completes.

#include <libtorrent/torrent_handle.hpp>
#include <libtorrent/torrent_info.hpp>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "../PackageFetch.h"

namespace httplib {
class Client;
}

namespace vesk::tsp_service {

class ServerFetcher {
public:
    // Counts every byte taken from the server into both counters.
    ServerFetcher(lt::torrent_handle handle, std::shared_ptr<const lt::torrent_info> info,
                  const PackageUrl& url, std::atomic<std::int64_t>& transferBytes,
                  std::atomic<std::int64_t>& allBytes);
    // Cuts a fetch in progress and waits for the thread.
    ~ServerFetcher();
    ServerFetcher(const ServerFetcher&) = delete;
    ServerFetcher& operator=(const ServerFetcher&) = delete;

private:
    void Run();
    bool FetchRun(int first, int last);
    void Wait(std::chrono::milliseconds pause);

    const lt::torrent_handle m_handle;
    const std::shared_ptr<const lt::torrent_info> m_info;
    const PackageUrl m_url;
    std::atomic<std::int64_t>& m_transferBytes;
    std::atomic<std::int64_t>& m_allBytes;
    std::unique_ptr<httplib::Client> m_client;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    bool m_done = false;
    std::thread m_thread;
};

}  // namespace vesk::tsp_service
