#pragma once
// The tracker for peer-to-peer tests: the system's opentracker on 127.0.0.1, on a port of its
// own, accepting only the info-hashes it is given (its whitelist), ready once it accepts
// connections. Ends with the object.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace vesk::test {

class Tracker {
public:
    // folder holds the whitelist; infoHashes are v1 hashes in hex. port 0: a free one; a
    // publisher names it in the torrents before the tracker runs.
    Tracker(std::filesystem::path folder, const std::vector<std::string>& infoHashes, int port = 0);
    ~Tracker();
    Tracker(const Tracker&) = delete;
    Tracker& operator=(const Tracker&) = delete;

    // False when it did not come up within a few seconds.
    bool ready() const { return m_ready; }
    int port() const { return m_port; }
    pid_t pid() const { return m_process ? m_process->pid() : -1; }
    std::string announceUrl() const;
    // Ends it now (a tracker gone down mid-test).
    void Stop();

private:
    bool WaitUntilListening();

    std::unique_ptr<ChildProcess> m_process;
    int m_port = 0;
    bool m_ready = false;
};

}  // namespace vesk::test
