// The service's peer-to-peer path against what goes wrong in a swarm: real TSP.exe processes on
// loopback, driven over REST as the library drives them, a real web seed and a real tracker.

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <libtorrent/add_torrent_params.hpp>
#include <libtorrent/session.hpp>
#include <libtorrent/session_params.hpp>
#include <libtorrent/torrent_handle.hpp>
#include <libtorrent/torrent_info.hpp>
#include <libtorrent/torrent_status.hpp>

#include <chrono>
#include <functional>

#include "PeerService.h"
#include "TempDir.h"
#include "TestHttpServer.h"
#include "Tracker.h"
#include "swarm/TestTorrent.h"

namespace vesk::test {
namespace {

constexpr const char* kPackageName = "game-2.0.zip";
constexpr const char* kPackagePath = "/packages/game-2.0.zip";
constexpr const char* kTorrentPath = "/packages/game-2.0.zip.torrent";
constexpr std::size_t kPackageSize = 1536 * 1024;
constexpr auto kDeadline = std::chrono::seconds(30);
constexpr int kPollMs = 50;
constexpr int kPieceSize = 64 * 1024;
// The service's largest request to a web seed.
constexpr int kRequestSize = 256 * 1024;

// Checks the condition until it holds, the deadline passes or the service ends; between
// checks it waits on the service's own end.
bool WaitUntil(PeerService& service, const std::function<bool()>& done) {
    const int pidFd = static_cast<int>(syscall(SYS_pidfd_open, service.pid(), 0));
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    bool held = false;
    while (!(held = done()) && std::chrono::steady_clock::now() < deadline) {
        pollfd ended{pidFd, POLLIN, 0};
        if (pidFd >= 0 && poll(&ended, 1, kPollMs) > 0) break;
    }
    if (pidFd >= 0) close(pidFd);
    return held;
}

// A network token of our own for the methods the driver does not wrap.
std::optional<std::string> Ask(PeerService& service, const std::string& method,
                               const std::string& torrentId, PeerService::Query query = {}) {
    const auto token = service.Call("getToken");
    if (!token) return std::nullopt;
    const std::string netToken = XmlElementText(*token, "netToken").value_or("");
    WriteFileBytes(XmlElementText(*token, "filePath").value_or(""),
                   XmlElementText(*token, "diskToken").value_or(""));
    service.Call("validateDiskToken", {{"netToken", netToken}});
    query.push_back({"torrentId", torrentId});
    query.push_back({"netToken", netToken});
    return service.Call(method, query);
}

std::int64_t Counter(PeerService& service, const char* key) {
    const auto value = service.Value("p2p", key);
    return value && !value->empty() ? std::stoll(*value) : -1;
}

class SwarmFaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_package = NoiseBytes(kPackageSize, 7);
        WriteFileBytes(m_folder / "publish" / kPackageName, m_package);
    }

    // Publishes the torrent (for the given file, with the given tracker) and serves the
    // package with ranges, as the update server does.
    TestTorrent Publish(const std::string& tracker, const std::string& fileName = kPackageName,
                        int pieceSize = kPieceSize) {
        const auto file = m_folder / "publish" / fileName;
        if (!std::filesystem::exists(file)) WriteFileBytes(file, m_package);
        TestTorrent torrent = MakeTorrent(file, tracker, pieceSize);
        m_server.Serve(kTorrentPath, {.body = torrent.bytes});
        m_server.Serve(kPackagePath,
                       {.file = m_folder / "publish" / kPackageName, .acceptRanges = true});
        return torrent;
    }

    // A tracker that accepts the package's torrent, whose info-hash does not depend on the
    // tracker it names.
    std::unique_ptr<Tracker> StartTracker(int pieceSize = kPieceSize) {
        const auto file = m_folder / "publish" / kPackageName;
        const TestTorrent plain = MakeTorrent(file, "", pieceSize);
        return std::make_unique<Tracker>(m_folder / "tracker",
                                         std::vector<std::string>{plain.infoHash});
    }

    // The package served for the first answers, then held back until released. With pieces
    // as large as the service's requests to the server, each answer is one whole piece,
    // whichever piece the engine picks first.
    static void ServeThenHold(TestHttpServer& server, const std::filesystem::path& file,
                              std::size_t answers) {
        const TestResponse served{.file = file, .acceptRanges = true};
        std::vector<TestResponse> sequence(answers, served);
        sequence.push_back({.file = file, .holdBeforeAnswer = true, .acceptRanges = true});
        server.ServeSequence(kPackagePath, sequence);
    }

    bool StartService(PeerService& service, const std::string& name) {
        return service.Start(TSP_SERVICE_PROGRAM, m_folder / name) && service.LogIn();
    }

    // Starts the transfer and waits for its end; its last progress.
    std::optional<TransferProgress> Fetch(PeerService& service) {
        const auto id = service.StartTransfer(m_server.Url(kPackagePath));
        if (!id) return std::nullopt;
        std::optional<TransferProgress> last;
        WaitUntil(service, [&] {
            last = service.Status(*id);
            return last &&
                   (last->statusId == kTransferComplete || last->statusId == kTransferFailed);
        });
        return last;
    }

    bool HasPackage(PeerService& service) {
        return ReadFileBytes(service.downloads() / kPackageName) == m_package;
    }

    std::filesystem::path CacheOf(PeerService& service) { return service.dataDir() / "cache"; }

    TempDir m_folder;
    TestHttpServer m_server;
    std::string m_package;
};

// A tracker that is down leaves the server as the only source: the web seed alone completes.
TEST_F(SwarmFaultTest, WithTheTrackerDownTheWebSeedAloneCompletes) {
    std::string deadTracker;
    {
        Tracker gone(m_folder / "tracker", {});
        ASSERT_TRUE(gone.ready());
        deadTracker = gone.announceUrl();
    }
    const TestTorrent torrent = Publish(deadTracker);
    PeerService service;
    ASSERT_TRUE(StartService(service, "player"));
    const auto end = Fetch(service);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->statusId, kTransferComplete);
    EXPECT_TRUE(HasPackage(service));
    EXPECT_EQ(Counter(service, "peerBytes"), 0);
    EXPECT_EQ(Counter(service, "serverBytes"), static_cast<std::int64_t>(kPackageSize));
    // It came through the swarm, whose cache now seeds it.
    EXPECT_TRUE(ReadFileBytes(CacheOf(service) / torrent.infoHash / kPackageName) == m_package);
}

// A torrent naming some other file must not steer the download: plain HTTP it is.
TEST_F(SwarmFaultTest, ATorrentForAnotherFileFallsBackToHttp) {
    Publish("", "other-1.0.zip");
    PeerService service;
    ASSERT_TRUE(StartService(service, "player"));
    const auto end = Fetch(service);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->statusId, kTransferComplete);
    EXPECT_TRUE(HasPackage(service));
    EXPECT_EQ(m_server.RequestCount(kTorrentPath), 1);
    EXPECT_TRUE(std::filesystem::is_empty(CacheOf(service)));
}

// A seed of our own whose copy is garbage but which claims every piece, so it sends it.
class GarbageSeed {
public:
    GarbageSeed(const std::filesystem::path& folder, const TestTorrent& torrent)
        : m_session(Params()) {
        auto info = std::make_shared<lt::torrent_info>(torrent.bytes, lt::from_span);
        WriteFileBytes(folder / kPackageName, NoiseBytes(kPackageSize, 99));
        lt::add_torrent_params params;
        params.ti = info;
        params.save_path = folder.string();
        // Pieces claimed as resume data are served unchecked, unlike a seed mode's.
        params.have_pieces.resize(info->num_pieces(), true);
        params.flags &= ~(lt::torrent_flags::auto_managed | lt::torrent_flags::paused);
        m_handle = m_session.add_torrent(std::move(params));
    }

    void Offer(int peerPort) {
        m_handle.connect_peer(
            {lt::make_address_v4("127.0.0.1"), static_cast<std::uint16_t>(peerPort)});
    }
    bool Seeding() { return m_handle.status().is_seeding; }
    bool Connected() { return m_handle.status().num_peers > 0; }
    std::int64_t Sent() { return m_handle.status().total_payload_upload; }

private:
    static lt::session_params Params() {
        lt::settings_pack pack;
        pack.set_str(lt::settings_pack::listen_interfaces, "127.0.0.1:0");
        pack.set_bool(lt::settings_pack::enable_dht, false);
        pack.set_bool(lt::settings_pack::enable_lsd, false);
        pack.set_bool(lt::settings_pack::enable_upnp, false);
        pack.set_bool(lt::settings_pack::enable_natpmp, false);
        pack.set_bool(lt::settings_pack::allow_multiple_connections_per_ip, true);
        return lt::session_params(pack);
    }

    lt::session m_session;
    lt::torrent_handle m_handle;
};

// A peer that sends garbage: the engine refuses its pieces and drops it, and the copy is still
// the package's byte for byte, from the web seed.
TEST_F(SwarmFaultTest, APeerSendingGarbageIsRefusedAndTheDownloadCompletesFromTheServer) {
    const TestTorrent torrent = Publish("");
    // The server answers nothing until the garbage has been refused, so the peer is heard
    // first and alone.
    m_server.Serve(kPackagePath, {.dropBeforeAnswer = true});
    GarbageSeed garbage(m_folder / "garbage", torrent);
    PeerService service;
    ASSERT_TRUE(StartService(service, "player"));
    const auto id = service.StartTransfer(m_server.Url(kPackagePath));
    ASSERT_TRUE(id);
    ASSERT_TRUE(WaitUntil(service, [&] { return garbage.Seeding(); }));
    const std::int64_t peerPort = Counter(service, "peerPort");
    ASSERT_GT(peerPort, 0);
    garbage.Offer(static_cast<int>(peerPort));
    ASSERT_TRUE(WaitUntil(service, [&] { return garbage.Sent() > 0 && !garbage.Connected(); }));
    EXPECT_EQ(service.Status(*id)->bytesDownloaded, 0);
    m_server.Serve(kPackagePath,
                   {.file = m_folder / "publish" / kPackageName, .acceptRanges = true});

    std::optional<TransferProgress> last;
    ASSERT_TRUE(WaitUntil(service, [&] {
        last = service.Status(*id);
        return last && last->statusId == kTransferComplete;
    })) << (last ? last->bytesDownloaded : 0);
    EXPECT_TRUE(HasPackage(service));
    EXPECT_GT(Counter(service, "peerBytes"), 0);
}

// Killed half-way, the service finds what it kept in its cache and the next run fetches only
// the rest.
TEST_F(SwarmFaultTest, TheServiceKilledMidSwarmResumesFromWhatItKept) {
    const auto tracker = StartTracker(kRequestSize);
    ASSERT_TRUE(tracker->ready());
    const TestTorrent torrent = Publish(tracker->announceUrl(), kPackageName, kRequestSize);
    // Half the pieces, then nothing.
    ServeThenHold(m_server, m_folder / "publish" / kPackageName, kPackageSize / kRequestSize / 2);
    const std::filesystem::path data = m_folder / "player";
    std::int64_t sentBefore = 0;
    {
        PeerService service;
        ASSERT_TRUE(service.Start(TSP_SERVICE_PROGRAM, data) && service.LogIn());
        const auto id = service.StartTransfer(m_server.Url(kPackagePath));
        ASSERT_TRUE(id);
        ASSERT_TRUE(WaitUntil(service, [&] {
            const auto now = service.Status(*id);
            return now && now->bytesDownloaded >= static_cast<std::int64_t>(kPackageSize / 4);
        }));
        service.Kill();
        sentBefore = static_cast<std::int64_t>(m_server.BodyBytesSent(kPackagePath));
    }
    m_server.Release();
    m_server.Serve(kPackagePath,
                   {.file = m_folder / "publish" / kPackageName, .acceptRanges = true});

    PeerService again;
    ASSERT_TRUE(again.Start(TSP_SERVICE_PROGRAM, data) && again.LogIn());
    const auto end = Fetch(again);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->statusId, kTransferComplete);
    EXPECT_TRUE(HasPackage(again));
    const std::int64_t sentAfter =
        static_cast<std::int64_t>(m_server.BodyBytesSent(kPackagePath)) - sentBefore;
    EXPECT_LE(sentAfter, static_cast<std::int64_t>(kPackageSize * 3 / 4));
    EXPECT_LE(Counter(again, "serverBytes"), static_cast<std::int64_t>(kPackageSize * 3 / 4));
    EXPECT_TRUE(std::filesystem::exists(again.dataDir() / "cache" / torrent.infoHash));
}

// What one player finished is seeded from its cache, even after the updater deleted its copy
// and the service restarted: a second player gets it all from the first while the server is
// down.
TEST_F(SwarmFaultTest, AFinishedPackageIsSeededFromTheCacheAcrossARestart) {
    const auto tracker = StartTracker();
    ASSERT_TRUE(tracker->ready());
    Publish(tracker->announceUrl());
    const std::filesystem::path data = m_folder / "first";
    {
        PeerService first;
        ASSERT_TRUE(first.Start(TSP_SERVICE_PROGRAM, data) && first.LogIn());
        ASSERT_TRUE(first.SetValue("p2p", "uploadRateLimit", "0"));
        const auto end = Fetch(first);
        ASSERT_TRUE(end && end->statusId == kTransferComplete);
        first.Kill();
    }
    std::filesystem::remove(data / "downloads" / kPackageName);
    PeerService first;
    ASSERT_TRUE(first.Start(TSP_SERVICE_PROGRAM, data) && first.LogIn());
    m_server.Serve(kPackagePath, {.dropBeforeAnswer = true});

    PeerService second;
    ASSERT_TRUE(StartService(second, "second"));
    const auto end = Fetch(second);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->statusId, kTransferComplete);
    EXPECT_TRUE(HasPackage(second));
    EXPECT_EQ(end->fromPeers, static_cast<std::int64_t>(kPackageSize));
    EXPECT_EQ(Counter(second, "serverBytes"), 0);
}

// With seeding off the cache lets the package go once it is in place; pause, resume and
// cancel act on the torrent itself.
TEST_F(SwarmFaultTest, PauseResumeCancelAndNoSeedingActOnTheTorrent) {
    const TestTorrent torrent = Publish("", kPackageName, kRequestSize);
    ServeThenHold(m_server, m_folder / "publish" / kPackageName, 1);
    PeerService service;
    ASSERT_TRUE(StartService(service, "player"));
    ASSERT_TRUE(service.SetValue("p2p", "seedSeconds", "0"));
    const auto id = service.StartTransfer(m_server.Url(kPackagePath));
    ASSERT_TRUE(id);
    ASSERT_TRUE(WaitUntil(service, [&] {
        const auto now = service.Status(*id);
        return now && now->bytesDownloaded > 0;
    }));
    const auto paused = Ask(service, "transfer.pause", *id);
    ASSERT_TRUE(paused);
    EXPECT_EQ(XmlElementText(*paused, "statusId"), "205");
    EXPECT_EQ(XmlElementText(*paused, "bitRate"), "-1");
    m_server.Release();
    Ask(service, "transfer.resume", *id);
    std::optional<TransferProgress> last;
    ASSERT_TRUE(WaitUntil(service, [&] {
        last = service.Status(*id);
        return last && last->statusId == kTransferComplete;
    }));
    EXPECT_TRUE(HasPackage(service));
    const auto cached = CacheOf(service) / torrent.infoHash;
    EXPECT_TRUE(WaitUntil(service, [&] { return !std::filesystem::exists(cached); }));
    // The caller's copy is its own, whatever the cache dropped.
    EXPECT_TRUE(HasPackage(service));

    // Cancelled with its files, an unfinished download leaves nothing behind (from a server
    // of its own, since this one holds nothing back once released).
    ASSERT_TRUE(service.SetValue("p2p", "seedSeconds", "86400"));
    TestHttpServer held;
    held.Serve(kTorrentPath, {.body = torrent.bytes});
    ServeThenHold(held, m_folder / "publish" / kPackageName, 1);
    std::filesystem::remove(service.downloads() / kPackageName);
    const auto again = service.StartTransfer(held.Url(kPackagePath));
    ASSERT_TRUE(again);
    ASSERT_TRUE(WaitUntil(service, [&] {
        const auto now = service.Status(*again);
        return now && now->bytesDownloaded > 0;
    }));
    const auto cancelled = Ask(service, "transfer.cancel", *again, {{"delete", "1"}});
    ASSERT_TRUE(cancelled);
    EXPECT_EQ(XmlElementText(*cancelled, "statusId"), "200");
    EXPECT_TRUE(WaitUntil(service, [&] { return !std::filesystem::exists(cached); }));
    EXPECT_FALSE(std::filesystem::exists(service.downloads() / kPackageName));
    held.Release();
}

// The copy the caller gets from the swarm is a link to the one the cache seeds; a later HTTP
// download into the same place replaces the link and leaves the seeded copy alone.
TEST_F(SwarmFaultTest, AnHttpDownloadOverALinkedCopyLeavesTheSeededOneAlone) {
    const TestTorrent torrent = Publish("");
    PeerService service;
    ASSERT_TRUE(StartService(service, "player"));
    const auto first = Fetch(service);
    ASSERT_TRUE(first && first->statusId == kTransferComplete);

    const std::string other = NoiseBytes(kPackageSize, 8);
    WriteFileBytes(m_folder / "other.zip", other);
    m_server.Serve(kPackagePath, {.file = m_folder / "other.zip", .acceptRanges = true});
    const auto id = service.StartTransfer(m_server.Url(kPackagePath), false);
    ASSERT_TRUE(id);
    std::optional<TransferProgress> last;
    ASSERT_TRUE(WaitUntil(service, [&] {
        last = service.Status(*id);
        return last && last->statusId == kTransferComplete;
    }));
    EXPECT_TRUE(ReadFileBytes(service.downloads() / kPackageName) == other);
    EXPECT_TRUE(ReadFileBytes(CacheOf(service) / torrent.infoHash / kPackageName) == m_package);
}

// A second service started beside a running one (as the library may) finds the REST port
// taken and ends before its engine touches the first one's cache.
TEST_F(SwarmFaultTest, ASecondServiceOnTheSamePortLeavesTheFirstOnesCacheAlone) {
    PeerService first;
    ASSERT_TRUE(StartService(first, "player"));
    const auto entry = CacheOf(first) / std::string(40, 'a');
    WriteFileBytes(entry / "entry", "url=http://127.0.0.1:1/p.zip\nfile=p.zip\nsize=1\n");
    WriteFileBytes(entry / "package.torrent", "not a torrent");

    ChildProcess second;
    ASSERT_TRUE(second.Start(
        TSP_SERVICE_PROGRAM,
        {.args = {"--rest-port", std::to_string(first.restPort()), "--data-dir",
                  first.dataDir().string(), "--peer-port", "0", "--peer-interface", "127.0.0.1"},
         .unsetEnv = {"VESK_TSP_OPTIONS", "VESK_CLOCK"}}));
    EXPECT_EQ(second.Wait(), 1);
    EXPECT_TRUE(std::filesystem::exists(entry / "package.torrent"));
}

}  // namespace
}  // namespace vesk::test
