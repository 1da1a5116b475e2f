#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "INetDownLoad.h"
#include "TempDir.h"
#include "TestHttpServer.h"
#include "WithoutFileLocks.h"

namespace {

using vesk::test::ReadFileBytes;
using vesk::test::TestResponse;

class DownLoadTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_downloader.Init()); }
    void TearDown() override { m_downloader.Uninit(); }

    int Fetch(const std::string& path, const std::string& local = "file.bin") {
        return m_downloader.DownLoad(m_server.WideUrl(path), Local(local), &m_length);
    }
    std::wstring Local(const std::string& name) {
        return m_dir.wide() + std::wstring(name.begin(), name.end());
    }

    vesk::test::TempDir m_dir;
    vesk::test::TestHttpServer m_server;
    CINetDownLoad m_downloader;
    std::int64_t m_length = -1;
};

std::string Body(size_t size) {
    std::string body(size, '\0');
    for (size_t i = 0; i < size; ++i) body[i] = static_cast<char>(i * 131 + i / 977);
    return body;
}

TEST_F(DownLoadTest, ExactBodyGivesIdenticalBytesAndItsLength) {
    const std::string body = Body(300000);
    m_server.Serve("/p.zip", {.body = body});
    EXPECT_EQ(Fetch("/p.zip"), kDownLoadOk);
    EXPECT_EQ(ReadFileBytes(m_dir / "file.bin"), body);
    EXPECT_EQ(m_length, 300000);
    EXPECT_EQ(m_server.RequestCount("/p.zip"), 1);
}

TEST_F(DownLoadTest, AsksTheOriginForAFreshCopyWithItsUserAgent) {
    m_server.Serve("/m.xml", {.body = "x"});
    ASSERT_EQ(Fetch("/m.xml"), kDownLoadOk);
    const auto request = m_server.Requests().at(0);
    EXPECT_EQ(request.headers.at("user-agent"), "Vesk Client Downloader");
    EXPECT_EQ(request.headers.at("cache-control"), "no-cache");
    EXPECT_EQ(request.headers.at("pragma"), "no-cache");
    EXPECT_EQ(request.headers.count("range"), 0u);
}

TEST_F(DownLoadTest, PartialContentIsAcceptedLikeOk) {
    m_server.Serve("/p.zip", {.status = 206, .body = "partial is fine"});
    EXPECT_EQ(Fetch("/p.zip"), kDownLoadOk);
    EXPECT_EQ(ReadFileBytes(m_dir / "file.bin"), "partial is fine");
}

// The length checked and handed back is the final answer's, not the redirect's own.
TEST_F(DownLoadTest, RedirectIsFollowedToTheWholeFile) {
    const std::string body = Body(300000);
    m_server.Serve("/final.zip", {.body = body});
    m_server.Serve("/moved.zip", {.status = 302,
                                  .body = "<a href=\"/final.zip\">moved</a>",
                                  .headers = {{"Location", m_server.Url("/final.zip")}}});
    EXPECT_EQ(Fetch("/moved.zip"), kDownLoadOk);
    EXPECT_EQ(ReadFileBytes(m_dir / "file.bin"), body);
    EXPECT_EQ(m_length, 300000);
    EXPECT_EQ(m_server.RequestCount("/moved.zip"), 1);
    EXPECT_EQ(m_server.RequestCount("/final.zip"), 1);
}

TEST_F(DownLoadTest, ShortBodyIsFetchedAgainFromTheStartFourTimesThenFails) {
    m_server.Serve("/p.zip", {.body = Body(100000), .sendOnly = 40000});
    EXPECT_EQ(Fetch("/p.zip"), kDownLoadNetworkError);
    EXPECT_EQ(m_server.RequestCount("/p.zip"), 4);
    EXPECT_EQ(m_length, 100000);
    EXPECT_EQ(std::filesystem::file_size(m_dir / "file.bin"), 40000u);  // no resume
}

TEST_F(DownLoadTest, ShortBodyThenAWholeOneSucceeds) {
    const std::string body = Body(70000);
    m_server.ServeSequence("/p.zip", {{.body = body, .sendOnly = 100},
                                      {.body = body, .announcedLength = 90000},
                                      {.body = body}});
    EXPECT_EQ(Fetch("/p.zip"), kDownLoadOk);
    EXPECT_EQ(ReadFileBytes(m_dir / "file.bin"), body);
    EXPECT_EQ(m_server.RequestCount("/p.zip"), 3);
}

TEST_F(DownLoadTest, MissingLengthWorksOnlyForAnEmptyBody) {
    m_server.Serve("/empty", {.omitLength = true});
    EXPECT_EQ(Fetch("/empty", "empty.bin"), kDownLoadOk);
    EXPECT_EQ(std::filesystem::file_size(m_dir / "empty.bin"), 0u);

    m_server.Serve("/full", {.body = "some bytes", .omitLength = true});
    EXPECT_EQ(Fetch("/full"), kDownLoadNetworkError);
    EXPECT_EQ(m_server.RequestCount("/full"), 4);
}

// A body may reach the limit but not pass it, whether the server says its length or not; one
// that would is broken off at once, never tried again, and leaves nothing behind.
TEST_F(DownLoadTest, BodyBeyondTheSizeLimitIsBrokenOffAndNotKept) {
    constexpr std::uint64_t kLimit = 200000;
    const struct {
        const char* what;
        TestResponse response;
        int result;
    } rows[] = {
        {"at the limit", {.body = Body(kLimit)}, kDownLoadOk},
        {"announced beyond", {.body = Body(kLimit + 1)}, kDownLoadTooLarge},
        {"announced within, sent beyond",
         {.body = Body(3 * kLimit), .announcedLength = kLimit},
         kDownLoadOk},
        {"no length, beyond", {.body = Body(3 * kLimit), .omitLength = true}, kDownLoadTooLarge},
    };
    m_downloader.SetSizeLimit(kLimit);
    int n = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string path = "/body" + std::to_string(++n);
        m_server.Serve(path, row.response);
        EXPECT_EQ(Fetch(path), row.result);
        EXPECT_EQ(m_server.RequestCount(path), 1);
        if (row.result == kDownLoadOk) {
            EXPECT_EQ(std::filesystem::file_size(m_dir / "file.bin"), kLimit);
        } else {
            EXPECT_FALSE(std::filesystem::exists(m_dir / "file.bin"));
        }
        std::filesystem::remove(m_dir / "file.bin");
    }
}

TEST_F(DownLoadTest, RefusedStatusFailsAtOnceAndLeavesTheLocalFileAlone) {
    vesk::test::WriteFileBytes(m_dir / "file.bin", "old content");
    for (int status : {404, 500, 204, 301}) {
        m_server.Serve("/gone", {.status = status, .body = "nope"});
        EXPECT_EQ(Fetch("/gone"), kDownLoadNetworkError) << status;
    }
    EXPECT_EQ(m_server.RequestCount("/gone"), 4);  // one request per call
    EXPECT_EQ(ReadFileBytes(m_dir / "file.bin"), "old content");
}

TEST_F(DownLoadTest, CreatesMissingFoldersAndReplacesAReadOnlyFile) {
    m_server.Serve("/p.zip", {.body = "new"});
    EXPECT_EQ(Fetch("/p.zip", "tmp/deeper/p.zip"), kDownLoadOk);
    EXPECT_EQ(ReadFileBytes(m_dir / "tmp/deeper/p.zip"), "new");

    vesk::test::WriteFileBytes(m_dir / "ro.bin", "read-only old");
    std::filesystem::permissions(m_dir / "ro.bin", std::filesystem::perms::owner_read);
    EXPECT_EQ(Fetch("/p.zip", "ro.bin"), kDownLoadOk);
    EXPECT_EQ(ReadFileBytes(m_dir / "ro.bin"), "new");
}

// Where the file system keeps no locks, the download still lands: only another program's
// lock means the file is in use.
TEST_F(DownLoadTest, FileSystemWithoutLocksStillTakesTheFile) {
    m_server.Serve("/p.zip", {.body = "whole"});
    int result = -1;
    if (!vesk::test::RunWithoutFileLocks([&] { result = Fetch("/p.zip"); })) {
        GTEST_SKIP() << "no system-call filter here";
    }
    EXPECT_EQ(result, kDownLoadOk);
    EXPECT_EQ(ReadFileBytes(m_dir / "file.bin"), "whole");
}

// A file the user may write but, in a folder he may not change, not delete: the new body
// must still replace the old one whole. Run as an unprivileged user in a child process.
TEST_F(DownLoadTest, TargetIsCreatedAnewEvenWhenItCannotBeDeleted) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    constexpr uid_t kNobody = 65534;
    std::filesystem::create_directory(m_dir / "locked");
    vesk::test::WriteFileBytes(m_dir / "locked/file.bin", std::string(100, 'o'));
    ASSERT_EQ(chown((m_dir / "locked/file.bin").c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(chmod((m_dir / "locked").c_str(), 0755), 0);
    ASSERT_EQ(chmod(m_dir.path().c_str(), 0755), 0);
    m_server.Serve("/p.zip", {.body = "new"});

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(100);
        CINetDownLoad downloader;
        downloader.Init();
        _exit(downloader.DownLoad(m_server.WideUrl("/p.zip"), Local("locked/file.bin"), nullptr));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), kDownLoadOk);
    EXPECT_EQ(ReadFileBytes(m_dir / "locked/file.bin"), "new");
}

TEST_F(DownLoadTest, LocalFileThatCannotBeCreatedGivesFive) {
    vesk::test::WriteFileBytes(m_dir / "blocker", "a file where a folder should be");
    m_server.Serve("/p.zip", {.body = "new"});
    EXPECT_EQ(Fetch("/p.zip", "blocker/p.zip"), kDownLoadFileError);
    std::filesystem::create_directory(m_dir / "folder");
    EXPECT_EQ(Fetch("/p.zip", "folder"), kDownLoadFileError);
}

TEST_F(DownLoadTest, NoAnswerFailsWithoutRetrying) {
    m_server.Serve("/drop", {.dropBeforeAnswer = true});
    EXPECT_EQ(Fetch("/drop"), kDownLoadNetworkError);
    EXPECT_EQ(m_server.RequestCount("/drop"), 1);
    EXPECT_EQ(m_length, -1);  // early failures leave the length alone
    EXPECT_EQ(m_downloader.DownLoad(L"http://127.0.0.1:1/closed", Local("x"), nullptr),
              kDownLoadNetworkError);
    EXPECT_EQ(m_downloader.DownLoad(L"not a url at all", Local("x"), nullptr),
              kDownLoadNetworkError);
    // Web addresses only: no local files, not even through a redirect.
    vesk::test::WriteFileBytes(m_dir / "secret", "local");
    const std::string file = "file://" + (m_dir / "secret").string();
    EXPECT_EQ(m_downloader.DownLoad(std::wstring(file.begin(), file.end()), Local("x"), nullptr),
              kDownLoadNetworkError);
    m_server.Serve("/moved", {.status = 302, .headers = {{"Location", file}}});
    EXPECT_EQ(Fetch("/moved", "x"), kDownLoadNetworkError);
    EXPECT_FALSE(std::filesystem::exists(m_dir / "x"));
}

TEST_F(DownLoadTest, IgnoresProxySettingsOfTheEnvironment) {
    setenv("http_proxy", "http://127.0.0.1:1", 1);
    setenv("HTTP_PROXY", "http://127.0.0.1:1", 1);
    m_server.Serve("/p.zip", {.body = "direct"});
    EXPECT_EQ(Fetch("/p.zip"), kDownLoadOk);
    unsetenv("http_proxy");
    unsetenv("HTTP_PROXY");
}

std::vector<std::pair<int, int>> g_progress;
void RecordProgress(int expected, int received) {
    g_progress.emplace_back(expected, received);
}

TEST_F(DownLoadTest, ReportsProgressInPiecesOfAtMost64KiB) {
    g_progress.clear();
    m_downloader.SetProgressCallback(RecordProgress);
    m_server.Serve("/p.zip", {.body = Body(1000000)});
    ASSERT_EQ(Fetch("/p.zip"), kDownLoadOk);
    ASSERT_FALSE(g_progress.empty());
    int previous = 0;
    for (const auto& [expected, received] : g_progress) {
        EXPECT_EQ(expected, 1000000);
        EXPECT_GT(received, previous);
        EXPECT_LE(received - previous, 65536);
        previous = received;
    }
    EXPECT_EQ(previous, 1000000);
}

// A listener whose accept queue is full drops new connection attempts, so a connect hangs
// until the client gives up.
TEST_F(DownLoadTest, ConnectTimeOutIsHonoured) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 0), 0);
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    std::vector<int> fillers;
    for (int i = 0; i < 4; ++i) {
        const int s = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
        fillers.push_back(s);
    }
    // The stall limit ends the call should the connect time-out ever stop working.
    m_downloader.SetTimeouts(std::chrono::milliseconds(300), std::chrono::seconds(20));
    const std::wstring url = L"http://127.0.0.1:" + std::to_wstring(ntohs(address.sin_port)) + L"/";
    EXPECT_EQ(m_downloader.DownLoad(url, Local("never"), nullptr), kDownLoadNetworkError);
    EXPECT_FALSE(std::filesystem::exists(m_dir / "never"));
    for (int s : fillers) close(s);
    close(listener);
}

}  // namespace
