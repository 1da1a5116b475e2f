#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "ChildProcess.h"
#include "INetDownLoad.h"
#include "TempDir.h"

namespace {

using testing::HasSubstr;
using vesk::test::ReadFileBytes;
using vesk::test::TempDir;
using vesk::test::WriteFileBytes;

constexpr char kListening[] = "listening on http://127.0.0.1:";

struct RawReply {
    int status = 0;
    std::string head;
    std::string body;
};

// One request on a connection of its own, read to the end the server gives.
class RawClient {
public:
    explicit RawClient(int port) {
        m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawClient() { close(m_fd); }

    bool Send(const std::string& request) {
        return m_connected && send(m_fd, request.data(), request.size(), MSG_NOSIGNAL) ==
                                  static_cast<ssize_t>(request.size());
    }
    // Up to size bytes, whatever arrives first.
    std::string ReadSome(std::size_t size) {
        std::string bytes(size, '\0');
        const ssize_t got = recv(m_fd, bytes.data(), size, 0);
        bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        return bytes;
    }
    RawReply ReadAll() {
        std::string all;
        for (std::string part = ReadSome(65536); !part.empty(); part = ReadSome(65536)) all += part;
        RawReply reply;
        const std::size_t end = all.find("\r\n\r\n");
        if (end == std::string::npos || all.size() < 12) return reply;
        reply.status = std::stoi(all.substr(9, 3));
        reply.head = all.substr(0, end + 2);
        reply.body = all.substr(end + 4);
        return reply;
    }

private:
    int m_fd = -1;
    bool m_connected = false;
};

class UpdateServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFileBytes(m_root / "pkg.zip", "0123456789");
        std::filesystem::create_directories(m_root / "packages");
        WriteFileBytes(m_outside / "secret", "secret");
        std::filesystem::create_symlink(m_outside / "secret", m_root / "outer-link");
    }

    void Start(std::vector<std::string> extra = {}) {
        vesk::test::ChildProcess::Options options;
        options.args = {"--root", m_root.path().string()};
        options.args.insert(options.args.end(), extra.begin(), extra.end());
        ASSERT_TRUE(m_server.Start(VESK_UPDATE_SERVER, options));
        const auto line = m_server.ReadLine();
        ASSERT_TRUE(line);
        ASSERT_THAT(*line, testing::StartsWith(kListening));
        m_port = std::stoi(line->substr(sizeof kListening - 1));
        ASSERT_EQ(line->back(), '/');
    }
    RawReply Request(const std::string& method, const std::string& path,
                     const std::string& range = "") {
        RawClient client(m_port);
        std::string request =
            method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
        if (!range.empty()) request += "Range: " + range + "\r\n";
        EXPECT_TRUE(client.Send(request + "\r\n"));
        return client.ReadAll();
    }
    // Ends the server as a user would; its exit code.
    int Stop(int signal = SIGTERM) {
        kill(m_server.pid(), signal);
        return m_server.Wait();
    }
    std::string Url(const std::string& path) const {
        const std::string url = "http://127.0.0.1:" + std::to_string(m_port) + path;
        return url;
    }

    TempDir m_root;
    TempDir m_outside;
    TempDir m_local;
    vesk::test::ChildProcess m_server;
    int m_port = 0;
};

TEST_F(UpdateServerTest, AnswersRangesAsAskedAndLogsEachRequest) {
    Start();
    struct Row {
        const char* method;
        const char* path;
        const char* range;
        int status;
        const char* contentRange;  // "" for none
        const char* body;
        const char* logLine;
    };
    const Row rows[] = {
        {"GET", "/pkg.zip", "", 200, "", "0123456789", "GET /pkg.zip - 200 10"},
        {"GET", "/pkg.zip", "bytes=3-5", 206, "bytes 3-5/10", "345",
         "GET /pkg.zip bytes=3-5 206 3"},
        {"GET", "/pkg.zip", "bytes=6-", 206, "bytes 6-9/10", "6789", "GET /pkg.zip bytes=6- 206 4"},
        {"GET", "/pkg.zip", "bytes=-2", 206, "bytes 8-9/10", "89", "GET /pkg.zip bytes=-2 206 2"},
        {"GET", "/pkg.zip", "bytes=10-20", 416, "bytes */10", nullptr,
         "GET /pkg.zip bytes=10-20 416"},
        {"HEAD", "/pkg.zip", "", 200, "", "", "HEAD /pkg.zip - 200 0"},
        {"HEAD", "/pkg.zip", "bytes=1-2", 206, "bytes 1-2/10", "", "HEAD /pkg.zip bytes=1-2 206 0"},
        {"GET", "/missing.zip", "", 404, "", nullptr, "GET /missing.zip - 404"},
        {"GET", "/packages", "", 404, "", nullptr, "GET /packages - 404"},
        {"GET", "/packages/", "", 404, "", nullptr, "GET /packages/ - 404"},
        {"GET", "/../secret", "", 404, "", nullptr, "GET /../secret - 404"},
        {"GET", "/%2e%2e/secret", "", 404, "", nullptr, "GET /%2e%2e/secret - 404"},
        {"GET", "/outer-link", "", 404, "", nullptr, "GET /outer-link - 404"},
        {"DELETE", "/pkg.zip", "", 405, "", nullptr, "DELETE /pkg.zip - 405"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.method) + " " + row.path + " " + row.range);
        const RawReply reply = Request(row.method, row.path, row.range);
        EXPECT_EQ(reply.status, row.status);
        EXPECT_THAT(reply.head, HasSubstr("Accept-Ranges: bytes\r\n"));
        const std::string contentRange = *row.contentRange
                                             ? std::string("Content-Range: ") + row.contentRange
                                             : std::string("Content-Range");
        EXPECT_EQ(reply.head.find(contentRange) != std::string::npos, *row.contentRange != '\0');
        // HEAD announces the length the GET would send.
        const std::size_t announced = std::string(row.method) == "HEAD"
                                          ? std::string(row.range).empty() ? 10 : 2
                                          : reply.body.size();
        EXPECT_THAT(reply.head, HasSubstr("Content-Length: " + std::to_string(announced) + "\r\n"));
        if (row.body) {
            EXPECT_EQ(reply.body, row.body);
        }
        EXPECT_THAT(reply.body, testing::Not(HasSubstr("secret")));
    }
    EXPECT_EQ(Stop(), 0);
    for (const Row& row : rows) EXPECT_THAT(m_server.Error(), HasSubstr(row.logLine));
}

TEST_F(UpdateServerTest, TheUpdaterDownloadsAWholePackage) {
    std::string package(3 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < package.size(); ++i) package[i] = static_cast<char>(i * 7 % 251);
    WriteFileBytes(m_root / "packages" / "update 2.zip", package);
    Start();
    CINetDownLoad downloader;
    ASSERT_TRUE(downloader.Init());
    std::int64_t length = 0;
    const std::string url = Url("/packages/update%202.zip");
    EXPECT_EQ(downloader.DownLoad(std::wstring(url.begin(), url.end()),
                                  m_local.wide() + L"update.zip", &length),
              kDownLoadOk);
    downloader.Uninit();
    EXPECT_EQ(length, static_cast<std::int64_t>(package.size()));
    EXPECT_TRUE(ReadFileBytes(m_local / "update.zip") == package);
    EXPECT_EQ(Stop(SIGINT), 0);
}

// Slowed down, the server sends a package in steps of a tenth of the rate: every step must land
// where it belongs, for a whole file and for a range that starts mid-step.
TEST_F(UpdateServerTest, SendsWholeBodiesWhenSlowedDown) {
    std::string bytes(2500, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 13 % 251);
    WriteFileBytes(m_root / "slow.zip", bytes);
    Start({"--rate", "10"});
    EXPECT_EQ(Request("GET", "/slow.zip").body, bytes);
    const RawReply part = Request("GET", "/slow.zip", "bytes=1000-2400");
    EXPECT_EQ(part.status, 206);
    EXPECT_EQ(part.body, bytes.substr(1000, 1401));
}

TEST_F(UpdateServerTest, StreamsALargeFileWithoutHoldingIt) {
    constexpr std::int64_t kSize = 256LL * 1024 * 1024;
    {
        // Sparse: large to read, nothing on disk.
        std::ofstream file(m_root / "big.zip", std::ios::binary);
    }
    std::filesystem::resize_file(m_root / "big.zip", kSize);
    Start();
    RawClient client(m_port);
    ASSERT_TRUE(client.Send("GET /big.zip HTTP/1.0\r\nRange: bytes=1-\r\n\r\n"));
    std::int64_t received = 0;
    for (std::string part = client.ReadSome(1 << 20); !part.empty();
         part = client.ReadSome(1 << 20)) {
        received += static_cast<std::int64_t>(part.size());
    }
    const std::string status = ReadFileBytes("/proc/" + std::to_string(m_server.pid()) + "/status");
    const std::size_t peak = status.find("VmHWM:");
    ASSERT_NE(peak, std::string::npos);
    EXPECT_LT(std::stoll(status.substr(peak + 6)), 64 * 1024) << "kB at peak";
    EXPECT_EQ(Stop(), 0);
    EXPECT_THAT(m_server.Error(),
                HasSubstr("GET /big.zip bytes=1- 206 " + std::to_string(kSize - 1)));
    EXPECT_GT(received, kSize - 1);  // the head comes on top of the body
}

TEST_F(UpdateServerTest, EndsOnTerminationWhileAClientStopsReading) {
    std::filesystem::resize_file(m_root / "pkg.zip", 64LL * 1024 * 1024);
    Start();
    RawClient client(m_port);
    ASSERT_TRUE(client.Send("GET /pkg.zip HTTP/1.1\r\n\r\n"));
    ASSERT_FALSE(client.ReadSome(16).empty());  // the transfer runs; now it stalls
    EXPECT_EQ(Stop(), 0);
    EXPECT_THAT(m_server.Error(), HasSubstr("GET /pkg.zip - 200 "));
}

TEST_F(UpdateServerTest, ServesOtherConnectionsWhileOneStalls) {
    std::filesystem::resize_file(m_root / "pkg.zip", 64LL * 1024 * 1024);
    Start();
    RawClient stalled(m_port);
    ASSERT_TRUE(stalled.Send("GET /pkg.zip HTTP/1.1\r\n\r\n"));
    ASSERT_FALSE(stalled.ReadSome(16).empty());
    const RawReply reply = Request("GET", "/pkg.zip", "bytes=-4");
    EXPECT_EQ(reply.status, 206);
    EXPECT_EQ(reply.body, std::string(4, '\0'));
    EXPECT_EQ(Stop(), 0);
}

TEST_F(UpdateServerTest, ServesOnTheGivenPortAndRefusesBadArguments) {
    // A port just freed by the system is very likely free for the server too.
    Start();
    const int port = m_port;
    EXPECT_EQ(Stop(), 0);
    vesk::test::ChildProcess second;
    vesk::test::ChildProcess::Options options;
    options.args = {"--root", m_root.path().string(), "--port", std::to_string(port)};
    ASSERT_TRUE(second.Start(VESK_UPDATE_SERVER, options));
    EXPECT_EQ(second.ReadLine(), kListening + std::to_string(port) + "/");
    kill(second.pid(), SIGTERM);
    EXPECT_EQ(second.Wait(), 0);

    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"--root", (m_root / "pkg.zip").string()}, {"--root", "/", "--port", "x"}}) {
        vesk::test::ChildProcess refused;
        ASSERT_TRUE(refused.Start(VESK_UPDATE_SERVER, {args, {}, {}, {}, {}}));
        EXPECT_EQ(refused.Wait(), 2);
        EXPECT_THAT(refused.Error(), HasSubstr("vesk_update_server: "));
        EXPECT_EQ(refused.Output(), "");
    }
}

// A client that leaves early: the log counts what the socket took, far from what was asked.
TEST_F(UpdateServerTest, LogsTheBytesReallySentToAClientThatLeaves) {
    constexpr std::int64_t kSize = 64LL * 1024 * 1024;
    std::filesystem::resize_file(m_root / "pkg.zip", kSize);
    const std::string log = (m_local / "requests.log").string();
    Start({"--server-rate", "4000000", "--log", log});
    std::int64_t received = 0;
    {
        RawClient client(m_port);
        ASSERT_TRUE(client.Send("GET /pkg.zip HTTP/1.1\r\n\r\n"));
        while (received < 300 * 1024) {
            const std::string part = client.ReadSome(65536);
            ASSERT_FALSE(part.empty());
            received += static_cast<std::int64_t>(part.size());
        }
    }
    EXPECT_EQ(Stop(), 0);
    const std::string line = ReadFileBytes(log);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match, std::regex("GET /pkg.zip - 200 ([0-9]+)\n"))) << line;
    const std::int64_t sent = std::stoll(match[1]);
    EXPECT_GE(sent, received - 512);  // the head came first
    EXPECT_LT(sent, received + 4 * 1024 * 1024);
    EXPECT_EQ(m_server.Error(), "");
}

// The server's rate holds for all transfers together: two at once take as long as their sum.
TEST_F(UpdateServerTest, ServerRateIsSharedByAllTransfers) {
    constexpr std::int64_t kSize = 400 * 1024;
    std::string bytes(kSize, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 31 % 251);
    WriteFileBytes(m_root / "a.bin", bytes);
    Start({"--server-rate", "1000000"});
    const auto start = std::chrono::steady_clock::now();
    std::string first, second;
    std::thread other([&] { second = Request("GET", "/a.bin").body; });
    first = Request("GET", "/a.bin").body;
    other.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(first, bytes);
    EXPECT_EQ(second, bytes);
    // One turn of each may go at once; the rest waits its turn.
    EXPECT_GE(seconds, (2.0 * kSize - 2 * 50000) / 1000000 - 0.01);
    EXPECT_EQ(Stop(), 0);
}

// A web seed asks for range after range on one connection: each is answered in turn, the
// connection stays until the client's last request says it is the last.
TEST_F(UpdateServerTest, AnswersRequestsInTurnOnOneConnection) {
    Start();
    RawClient client(m_port);
    ASSERT_TRUE(
        client.Send("GET /pkg.zip HTTP/1.1\r\nRange: bytes=0-2\r\n\r\n"
                    "GET /missing.zip HTTP/1.1\r\n\r\n"
                    "HEAD /pkg.zip HTTP/1.1\r\n\r\n"
                    "GET /pkg.zip HTTP/1.1\r\nRange: bytes=7-\r\nConnection: close\r\n\r\n"
                    "GET /pkg.zip HTTP/1.1\r\n\r\n"));
    const RawReply all = client.ReadAll();  // to the end the server gives
    const std::string text = all.head + "\r\n" + all.body;
    const std::regex reply("HTTP/1.1 ([0-9]+) [^\r]*\r\n((?:[^\r]+\r\n)*)\r\n");
    std::vector<std::string> seen;
    std::size_t at = 0;
    for (std::smatch match;
         std::regex_search(text.cbegin() + static_cast<long>(at), text.cend(), match, reply);) {
        const std::string fields = match[2];
        seen.push_back(match[1].str() + (fields.find("Connection: keep-alive") != std::string::npos
                                             ? " keep"
                                             : " close"));
        at += static_cast<std::size_t>(match.position(0) + match.length(0));
        const std::size_t length = fields.find("Content-Length: ");
        if (match[1] != "200" || seen.size() != 3)  // HEAD announces a body it does not send
            at += std::stoul(fields.substr(length + 16));
    }
    EXPECT_THAT(seen, testing::ElementsAre("206 keep", "404 keep", "200 keep", "206 close"));
    EXPECT_THAT(text, HasSubstr("\r\n\r\n012HTTP/1.1 404"));
    EXPECT_TRUE(text.ends_with("\r\n\r\n789"));
    EXPECT_EQ(Stop(), 0);
    EXPECT_THAT(m_server.Error(), HasSubstr("GET /pkg.zip bytes=7- 206 3\n"));
    EXPECT_THAT(m_server.Error(), testing::Not(HasSubstr("GET /pkg.zip - 200")));
}

}  // namespace
