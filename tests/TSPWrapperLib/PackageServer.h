#pragma once
// A small HTTP server of package files on 127.0.0.1 for the transfer tests: byte ranges
// accepted or refused, every Range asked for recorded, and responses that can be held at
// a file offset until the test lets them go.

#include <httplib.h>

#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vesk::test {

class PackageServer {
public:
    enum class Ranges { kAccepted, kRefused };

    explicit PackageServer(Ranges ranges = Ranges::kAccepted);
    ~PackageServer();

    void Add(const std::string& path, std::string bytes);
    std::string Url(const std::string& path) const;
    // The Range header of every request so far ("" when it had none), in arrival order.
    std::vector<std::string> RangeHeaders();

    // Responses stop before the given file offset until Release.
    void HoldAt(std::size_t offset);
    // Blocks until a response is waiting at the hold.
    void WaitUntilHeld();
    void Release();

private:
    bool Provide(const std::string& bytes, std::size_t offset, std::size_t length,
                 httplib::DataSink& sink);
    void Serve(const httplib::Request& request, httplib::Response& response);

    const Ranges m_ranges;
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<std::string, std::string> m_files;
    std::vector<std::string> m_rangeHeaders;
    std::size_t m_holdAt = 0;
    bool m_holding = false;
    int m_held = 0;
};

}  // namespace vesk::test
