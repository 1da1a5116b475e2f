// A whole update through the real updater and library with the peer-to-peer service: another
// player's service already holds the release, so the installation's service takes part of the
// package from it while the rate-limited update server sends the rest.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>

#include "FolderWatch.h"
#include "PeerService.h"
#include "TorrentFile.h"
#include "Tracker.h"
#include "UpdateScenario.h"

namespace {

namespace fs = std::filesystem;
using vesk::test::ChildProcess;
using vesk::test::PeerService;
using vesk::test::ScenarioPackage;
using vesk::test::UpdateScenario;

constexpr char kListening[] = "listening on ";
constexpr char kPackageName[] = "patch-0002.zip";
constexpr int kLibraryRestPort = 60524;
constexpr std::int64_t kServerRate = 1000 * 1000;

std::string Incompressible(std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t state = 2463534242u;
    for (char& byte : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<char>(state);
    }
    return bytes;
}

class PeerUpdate : public testing::Test {
protected:
    ~PeerUpdate() override {
        m_seeder.Stop();
        kill(m_server.pid(), SIGTERM);
        m_server.Wait();
    }

    // The update server on the served folder; its address without the final slash.
    std::string StartServer() {
        fs::create_directories(m_served);
        EXPECT_TRUE(m_server.Start(
            VESK_UPDATE_SERVER,
            {.args = {"--root", m_served.string(), "--server-rate", std::to_string(kServerRate)}}));
        const std::string line = m_server.ReadLine().value_or("");
        const std::string url = line.substr(std::min(line.size(), sizeof kListening - 1));
        return url.empty() ? url : url.substr(0, url.size() - 1);
    }

    // The package's torrent beside it, as the packager writes it; its info-hash.
    std::string PublishTorrent(const std::string& packageUrl, const std::string& announce) {
        const fs::path package = m_served / "updates" / kPackageName;
        std::string error;
        const auto torrent = vesk::packager::MakeTorrent(
            {package.string(), kPackageName, fs::file_size(package), {announce}, packageUrl, 0},
            error);
        EXPECT_TRUE(torrent) << error;
        if (!torrent) return {};
        vesk::test::WriteFileBytes(package.string() + ".torrent", torrent->bytes);
        return torrent->infoHash;
    }

    UpdateScenario m_scenario;
    fs::path m_served = m_scenario.folder().parent_path() / "served";
    ChildProcess m_server;
    std::unique_ptr<vesk::test::Tracker> m_tracker;
    PeerService m_seeder;
};

TEST_F(PeerUpdate, AnotherPlayersServiceDeliversPartOfTheUpdate) {
    const std::string base = StartServer();
    ASSERT_FALSE(base.empty());
    m_scenario.SetInstalledVersion("0001");
    const std::string media = Incompressible(3 * 1000 * 1000);
    ScenarioPackage full{"0002", "full-0002.zip", {{"readme.txt", "release two\n"}}};
    full.size = 50 << 20;  // so the update package is what the updater takes
    m_scenario.PublishTo(
        m_served, base,
        {{"0002", kPackageName, {{"readme.txt", "release two\n"}, {"media.bin", media}}}}, full);
    const std::string packageUrl = base + "/updates/" + kPackageName;
    const int trackerPort = vesk::test::FreeLoopbackPort();
    const std::string infoHash =
        PublishTorrent(packageUrl, "http://127.0.0.1:" + std::to_string(trackerPort) + "/announce");
    ASSERT_FALSE(infoHash.empty());
    m_tracker = std::make_unique<vesk::test::Tracker>(m_served.parent_path() / "tracker",
                                                      std::vector{infoHash}, trackerPort);
    ASSERT_TRUE(m_tracker->ready());

    // Another player's service fetches the release first and keeps seeding it.
    ASSERT_TRUE(m_seeder.Start(VESK_TSP_SERVICE, m_served.parent_path() / "seeder"));
    ASSERT_TRUE(m_seeder.LogIn());
    fs::create_directories(m_seeder.downloads());
    ASSERT_TRUE(m_seeder.StartTransfer(packageUrl));
    const std::string package = m_scenario.PackageBytes(kPackageName);
    ASSERT_TRUE(vesk::test::WaitForFolder(m_seeder.downloads(), m_seeder.pid(), [&] {
        std::error_code error;
        return fs::file_size(m_seeder.downloads() / kPackageName, error) == package.size() &&
               vesk::test::ReadFileBytes(m_seeder.downloads() / kPackageName) == package;
    }));

    // Theirs, not the updater's: the run's end does not wait for them.
    for (const pid_t pid : {m_server.pid(), m_tracker->pid(), m_seeder.pid()})
        m_scenario.KeepChild(pid);
    ASSERT_TRUE(
        m_scenario.StartService({"--peer-port", std::to_string(vesk::test::FreeLoopbackPort()),
                                 "--peer-interface", "127.0.0.1"}));
    const vesk::test::ScenarioRun run = m_scenario.Run({"7", "u", "t", "1"});
    EXPECT_EQ(run.exitCode, 0) << run.errors << testing::PrintToString(run.log);
    EXPECT_EQ(m_scenario.InstalledVersion(), "0002");
    EXPECT_EQ(vesk::test::ReadFileBytes(m_scenario.folder() / "media.bin"), media);
    EXPECT_THAT(run.clientStarts, testing::ElementsAre("noupdate 7 u t 1"));

    PeerService installed;
    installed.Attach(kLibraryRestPort);
    ASSERT_TRUE(installed.LogIn());
    EXPECT_GT(std::stoll(installed.Value("p2p", "peerBytes").value_or("0")), 0);
}

}  // namespace
