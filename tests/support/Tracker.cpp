#include "Tracker.h"

#include "LoopbackPort.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

namespace vesk::test {
namespace {

constexpr const char* kProgram = "/usr/bin/opentracker";
constexpr const char* kWhitelist = "whitelist";
constexpr auto kStartDeadline = std::chrono::seconds(10);
constexpr int kRetryMs = 10;

bool Accepts(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool connected =
        fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0) close(fd);
    return connected;
}

}  // namespace

Tracker::Tracker(std::filesystem::path folder, const std::vector<std::string>& infoHashes,
                 int givenPort)
    : m_port(givenPort > 0 ? givenPort : FreeLoopbackPort()) {
    std::filesystem::create_directories(folder);
    {
        std::ofstream list(folder / kWhitelist);
        for (const std::string& hash : infoHashes) list << hash << '\n';
    }
    const std::string port = std::to_string(m_port);
    m_process = std::make_unique<ChildProcess>();
    // The whitelist is read inside the folder given with -d.
    m_ready = m_process->Start(kProgram, {.args = {"-i", "127.0.0.1", "-p", port, "-P", port, "-d",
                                                   folder.string(), "-w", kWhitelist}}) &&
              WaitUntilListening();
}

Tracker::~Tracker() {
    Stop();
}

std::string Tracker::announceUrl() const {
    return "http://127.0.0.1:" + std::to_string(m_port) + "/announce";
}

void Tracker::Stop() {
    if (!m_process) return;
    m_process->Kill();
    m_process->Wait();
    m_process.reset();
}

// Tries to connect until it can, waiting between tries on the tracker's own end, so a
// tracker that fails to start ends the wait at once.
bool Tracker::WaitUntilListening() {
    const int pidFd = static_cast<int>(syscall(SYS_pidfd_open, m_process->pid(), 0));
    const auto deadline = std::chrono::steady_clock::now() + kStartDeadline;
    bool up = false;
    while (!up && std::chrono::steady_clock::now() < deadline) {
        up = Accepts(m_port);
        if (up || pidFd < 0) continue;
        pollfd ended{pidFd, POLLIN, 0};
        if (poll(&ended, 1, kRetryMs) > 0) break;
    }
    if (pidFd >= 0) close(pidFd);
    return up;
}

}  // namespace vesk::test
