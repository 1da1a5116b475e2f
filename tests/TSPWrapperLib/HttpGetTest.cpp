#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "HttpGet.h"
#include "TestHttpServer.h"
#include "TricklingServer.h"

namespace {

using namespace std::chrono_literals;
using vesk::test::TricklingServer;
using vesk::tsp::HttpGet;
using vesk::tsp::HttpLimits;

// libcurl takes the rate once a second, so a stall limit of two seconds is the shortest
// that a steady trickle always meets.
constexpr HttpLimits kShortLimits{1s, 2s};

// Slower in all than the stall limit, yet never long without a byte.
TEST(HttpGetTest, ReplyThatKeepsArrivingIsTakenHoweverLongItTakes) {
    const std::string body(600, 'x');
    TricklingServer server({.body = body, .pieces = 12, .pause = 200ms});
    EXPECT_EQ(HttpGet(server.Url("/rest/transfer.start"), kShortLimits), body);
    EXPECT_EQ(server.Requests(), 1);
}

TEST(HttpGetTest, ReplyThatFallsSilentIsGivenUp) {
    TricklingServer server({.body = "<VersionResp/>", .silent = true});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(HttpGet(server.Url("/rest/version"), kShortLimits), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
}

// The network sockets a program started now would inherit; libcurl's internal wake-up pair
// is out of reach of its options, and the platform's process start closes it for the child.
std::vector<int> InheritableNetworkSockets() {
    std::vector<int> found;
    DIR* folder = opendir("/proc/self/fd");
    if (!folder) return {-1};
    while (const dirent* entry = readdir(folder)) {
        const int fd = std::atoi(entry->d_name);
        struct stat info {};
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        if (entry->d_name[0] == '.' || fstat(fd, &info) != 0 || !S_ISSOCK(info.st_mode) ||
            getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
            (address.ss_family != AF_INET && address.ss_family != AF_INET6))
            continue;
        if ((fcntl(fd, F_GETFD) & FD_CLOEXEC) == 0) found.push_back(fd);
    }
    closedir(folder);
    return found;
}

TEST(HttpGetTest, ConnectionIsNotInheritedByProgramsStartedMeanwhile) {
    std::string body;
    std::vector<int> inheritable;
    {
        vesk::test::TestHttpServer server;
        server.Serve("/rest/version", {.body = "<VersionResp/>", .holdAt = 1});
        std::thread request([&] { body = HttpGet(server.WideUrl("/rest/version")); });
        server.WaitUntilHeld();
        inheritable = InheritableNetworkSockets();
        server.Release();
        request.join();
    }  // the server's threads have ended and closed their sockets before the last look
    EXPECT_EQ(body, "<VersionResp/>");
    EXPECT_TRUE(inheritable.empty()) << "first: " << inheritable.front();
    EXPECT_TRUE(InheritableNetworkSockets().empty());
}

// A body past its limit is a failed transfer, never one cut short, whether its length was
// announced beforehand or not.
TEST(HttpGetTest, BodyLongerThanItsLimitIsNoBody) {
    constexpr std::size_t kLimit = 1000;
    const std::string fits(kLimit, 'f');
    const std::string over(kLimit + 1, 'o');
    struct Row {
        const char* what;
        vesk::test::TestResponse response;
        std::string expected;
    };
    const Row rows[] = {
        {"exactly the limit", {.body = fits}, fits},
        {"one byte more", {.body = over}, ""},
        {"one byte more, without a length", {.body = over, .omitLength = true}, ""},
    };
    for (const Row& row : rows) {
        vesk::test::TestHttpServer server;
        server.Serve("/rest/version", row.response);
        EXPECT_EQ(HttpGet(server.WideUrl("/rest/version"), kShortLimits, kLimit), row.expected)
            << row.what;
    }
}

// No reply of the service comes near a mebibyte; a longer one is none.
TEST(HttpGetTest, ServiceRepliesStopAtAMebibyte) {
    vesk::test::TestHttpServer server;
    const std::string longest(vesk::tsp::kMaxServiceReply, ' ');
    server.Serve("/rest/longest", {.body = longest});
    server.Serve("/rest/longer", {.body = longest + " "});
    EXPECT_EQ(HttpGet(server.WideUrl("/rest/longest")).size(), longest.size());
    EXPECT_EQ(HttpGet(server.WideUrl("/rest/longer")), "");
}

// Asked with both ends of the connection before anything is sent: a refused peer is never
// asked at all.
TEST(HttpGetTest, ARefusedConnectionCarriesNoRequest) {
    vesk::test::TestHttpServer server;
    server.Serve("/rest/version", {.body = "<VersionResp/>"});
    static int port = 0;
    static std::string ownAddress;
    port = server.port();
    const auto refuse = [](const vesk::net::TcpEnd& own, const vesk::net::TcpEnd& peer) {
        ownAddress = own.address;
        return own.port == 0 && peer.port == port;
    };
    const auto accept = [](const vesk::net::TcpEnd& own, const vesk::net::TcpEnd& peer) {
        return own.port != 0 && peer.address == "127.0.0.1" && peer.port == port;
    };
    EXPECT_EQ(HttpGet(server.WideUrl("/rest/version"), kShortLimits, 100, refuse), "");
    EXPECT_EQ(ownAddress, "127.0.0.1");
    EXPECT_EQ(server.RequestCount("/rest/version"), 0);
    EXPECT_EQ(HttpGet(server.WideUrl("/rest/version"), kShortLimits, 100, accept),
              "<VersionResp/>");
}

}  // namespace
