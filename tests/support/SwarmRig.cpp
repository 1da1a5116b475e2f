#include "SwarmRig.h"

#include <csignal>
#include <fstream>
#include <sstream>

#include "FolderWatch.h"
#include "TempDir.h"
#include "Tracker.h"

namespace vesk::test {
namespace {

namespace fs = std::filesystem;

constexpr char kListening[] = "listening on ";
constexpr char kPackageName[] = "patch-0002.zip";
constexpr char kWhitelist[] = "tracker-whitelist.txt";
constexpr char kServerLog[] = "server.log";

// Bytes no compressor shrinks, the same on every run.
std::string Incompressible(std::int64_t size) {
    std::string bytes(static_cast<std::size_t>(size), '\0');
    std::uint64_t state = 0x9e3779b97f4a7c15u;
    for (std::size_t i = 0; i + 8 <= bytes.size(); i += 8) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        for (int b = 0; b < 8; ++b) bytes[i + b] = static_cast<char>(state >> (8 * b));
    }
    return bytes;
}

}  // namespace

SwarmRig::SwarmRig(fs::path folder, SwarmPrograms programs)
    : m_folder(std::move(folder)), m_programs(std::move(programs)) {}

SwarmRig::~SwarmRig() {
    Stop();
}

bool SwarmRig::Publish(std::int64_t packageBytes, std::int64_t serverRate) {
    const fs::path served = m_folder / "served";
    fs::create_directories(served);
    m_server = std::make_unique<ChildProcess>();
    ChildProcess::Options options;
    options.args = {"--root",        served.string(),
                    "--server-rate", std::to_string(serverRate),
                    "--log",         (m_folder / kServerLog).string()};
    if (!m_server->Start(m_programs.updateServer, options)) return false;
    const auto line = m_server->ReadLine();
    if (!line || !line->starts_with(kListening)) return false;
    m_baseUrl = line->substr(sizeof kListening - 1);
    m_package = Incompressible(packageBytes);
    return MakeReleases();
}

bool SwarmRig::MakeReleases() {
    const fs::path old = m_folder / "release1";
    const fs::path next = m_folder / "release2";
    fs::create_directories(old);
    fs::create_directories(next);
    WriteFileBytes(old / "readme.txt", "one\n");
    WriteFileBytes(next / "readme.txt", "one\n");
    WriteFileBytes(next / "media.bin", m_package);
    m_trackerPort = FreeLoopbackPort();
    ChildProcess packager;
    ChildProcess::Options options;
    options.args = {"package",
                    "--from",
                    old.string(),
                    "--to",
                    next.string(),
                    "--id",
                    "0002",
                    "--out",
                    (m_folder / "served").string(),
                    "--base-url",
                    m_baseUrl,
                    "--tracker",
                    "http://127.0.0.1:" + std::to_string(m_trackerPort) + "/announce"};
    if (!packager.Start(m_programs.packager, options) || packager.Wait() != 0) return false;
    m_packageName = kPackageName;
    m_packageUrl = m_baseUrl + m_packageName;
    // From here on the package is the file the server serves.
    m_package = ReadFileBytes(m_folder / "served" / kPackageName);
    return !m_package.empty();
}

bool SwarmRig::StartTracker() {
    std::vector<std::string> hashes;
    std::istringstream whitelist(ReadFileBytes(m_folder / "served" / kWhitelist));
    for (std::string hash; std::getline(whitelist, hash);) hashes.push_back(hash);
    m_tracker = std::make_unique<Tracker>(m_folder / "tracker", hashes, m_trackerPort);
    return !hashes.empty() && m_tracker->ready();
}

bool SwarmRig::AddPeers(int count, std::vector<std::string> options) {
    for (int i = 0; i < count; ++i) {
        auto peer = std::make_unique<PeerService>();
        const fs::path data = m_folder / ("peer" + std::to_string(m_peers.size()));
        if (!peer->Start(m_programs.service, data, options) || !peer->LogIn()) return false;
        fs::create_directories(peer->downloads());
        m_peers.push_back(std::move(peer));
    }
    return true;
}

std::optional<std::chrono::duration<double>> SwarmRig::FetchAll(
    const std::vector<std::size_t>& which, bool p2p, std::chrono::seconds deadline) {
    // A process that ends at the deadline is what the waits below stop on.
    ChildProcess timer;
    if (!timer.Start("/bin/sleep", {.args = {std::to_string(deadline.count())}}))
        return std::nullopt;
    const auto start = std::chrono::steady_clock::now();
    for (const std::size_t i : which) {
        if (!m_peers[i]->StartTransfer(m_packageUrl, p2p)) return std::nullopt;
    }
    for (const std::size_t i : which) {
        if (!WaitForFolder(m_peers[i]->downloads(), timer.pid(), [&] { return HasPackage(i); }))
            return std::nullopt;
    }
    return std::chrono::steady_clock::now() - start;
}

bool SwarmRig::HasPackage(std::size_t i) const {
    const fs::path copy = m_peers[i]->downloads() / m_packageName;
    std::error_code error;
    if (fs::file_size(copy, error) != m_package.size() || error) return false;
    return ReadFileBytes(copy) == m_package;
}

std::int64_t SwarmRig::ServerSent() const {
    std::ifstream log(m_folder / kServerLog);
    std::int64_t sent = 0;
    for (std::string line; std::getline(log, line);) {
        const std::size_t last = line.rfind(' ');
        if (last != std::string::npos) sent += std::stoll(line.substr(last + 1));
    }
    return sent;
}

void SwarmRig::Stop() {
    for (auto& peer : m_peers) peer->Stop();
    m_peers.clear();
    m_tracker.reset();
    if (m_server) {
        kill(m_server->pid(), SIGTERM);
        m_server->Wait();
        m_server.reset();
    }
}

}  // namespace vesk::test
