#pragma once
// One peer-to-peer transfer service of a test or a benchmark: the service program on a REST
// port, data folder and peer port of its own, all on 127.0.0.1, driven through its REST
// methods as the library drives it. Its standard error goes to a file beside its data folder.

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ChildProcess.h"
#include "LoopbackPort.h"

namespace vesk::test {

// The status ids a transfer reports.
inline constexpr int kTransferComplete = 206;
inline constexpr int kTransferFailed = 501;

struct TransferProgress {
    int statusId = 0;
    std::int64_t bytesDownloaded = 0;
    std::int64_t size = 0;
    std::int64_t fromPeers = 0;
};

class PeerService {
public:
    using Query = std::vector<std::pair<std::string, std::string>>;

    ~PeerService();

    // Starts the program and waits for its "listening" line; false when it does not come.
    bool Start(const std::string& program, const std::filesystem::path& dataDir,
               std::vector<std::string> extra = {});
    // Drives a service someone else started, on its REST port.
    void Attach(int restPort) { m_restPort = restPort; }
    pid_t pid() const { return m_process ? m_process->pid() : -1; }
    int restPort() const { return m_restPort; }
    const std::filesystem::path& dataDir() const { return m_dataDir; }
    // Where a transfer started without a folder of its own lands.
    std::filesystem::path downloads() const { return m_dataDir / "downloads"; }

    // The reply's body; nullopt when the service does not answer.
    std::optional<std::string> Call(const std::string& method, const Query& query = {});
    // Logs in and takes a network token, as the library does before its first transfer.
    bool LogIn();
    // The new transfer's id; nullopt when the service refuses it.
    std::optional<std::string> StartTransfer(const std::string& packageUrl, bool p2p = true);
    std::optional<TransferProgress> Status(const std::string& torrentId);
    std::optional<std::string> Value(const std::string& category, const std::string& key);
    bool SetValue(const std::string& category, const std::string& key, const std::string& value);

    // Asks the service to end and waits for it; its exit code.
    int Stop();
    // Ends it as a crash would.
    void Kill();

private:
    std::unique_ptr<ChildProcess> m_process;
    std::filesystem::path m_dataDir;
    int m_restPort = 0;
    std::string m_netToken;
};

// The text of the first element of that name in an XML reply; nullopt when there is none.
std::optional<std::string> XmlElementText(const std::string& xml, const std::string& name);

}  // namespace vesk::test
