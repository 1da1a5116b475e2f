#pragma once
// A publisher and a crowd of players on 127.0.0.1, for the swarm test and the swarm
// benchmark: a release made by the packager with its torrents, the update server limited to
// a rate, the tracker with the release's whitelist, and peer-to-peer services that fetch the
// release's package all at once.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "PeerService.h"
#include "Tracker.h"

namespace vesk::test {

struct SwarmPrograms {
    std::string packager;
    std::string updateServer;
    std::string service;
};

class SwarmRig {
public:
    SwarmRig(std::filesystem::path folder, SwarmPrograms programs);
    ~SwarmRig();

    // The server at serverRate bytes a second, then a release whose update package holds
    // packageBytes of data that does not compress, packaged with its torrent for the tracker.
    bool Publish(std::int64_t packageBytes, std::int64_t serverRate);
    // The tracker, with the release's whitelist.
    bool StartTracker();
    // count more services, each with its own ports and data folder.
    bool AddPeers(int count, std::vector<std::string> options = {});
    PeerService& peer(std::size_t i) { return *m_peers[i]; }
    std::size_t peers() const { return m_peers.size(); }

    const std::string& packageUrl() const { return m_packageUrl; }
    const std::string& packageName() const { return m_packageName; }
    std::int64_t packageSize() const { return static_cast<std::int64_t>(m_package.size()); }

    // Starts a transfer of the package on each of the given services at once and waits until
    // each has its whole copy in its downloads folder, or until deadline; the time it took,
    // or nullopt when a service refused or the deadline passed first.
    std::optional<std::chrono::duration<double>> FetchAll(const std::vector<std::size_t>& which,
                                                          bool p2p, std::chrono::seconds deadline);
    // Whether the service's copy is whole and equals the package.
    bool HasPackage(std::size_t i) const;
    // The body bytes the server sent, by its log, since it started.
    std::int64_t ServerSent() const;
    // Ends every process of the rig.
    void Stop();

private:
    bool MakeReleases();

    std::filesystem::path m_folder;
    SwarmPrograms m_programs;
    std::string m_package;
    std::string m_packageName;
    std::string m_packageUrl;
    std::string m_baseUrl;
    std::unique_ptr<ChildProcess> m_server;
    std::unique_ptr<Tracker> m_tracker;
    int m_trackerPort = 0;
    std::vector<std::unique_ptr<PeerService>> m_peers;
};

}  // namespace vesk::test
