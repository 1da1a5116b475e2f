#include "net/SocketOwner.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "ChildProcess.h"
#include "OtherUser.h"
#include "net/SocketDiag.h"
#include "net/SocketTables.h"

namespace {

using vesk::net::TcpEnd;
using vesk::test::ChildProcess;

// Each test asks both ways: the kernel directly, as the public functions do where it answers,
// and its socket tables, where they go when it does not.
struct Asker {
    const char* name;
    std::vector<uid_t> (*listeners)(std::uint16_t port);
    std::optional<uid_t> (*connection)(const TcpEnd& local, const TcpEnd& remote);
};
const Asker kAskers[] = {
    {"kernel", vesk::net::LoopbackListenerOwners, vesk::net::ConnectionOwner},
    {"tables", vesk::net::TableListenerOwners, vesk::net::TableConnectionOwner},
};

class Socket {
public:
    explicit Socket(int family) : m_fd(socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
    explicit Socket(int fd, bool) : m_fd(fd) {}
    ~Socket() {
        if (m_fd >= 0) close(m_fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

// Listens on address:0; the port it was given, or 0.
std::uint16_t Listen(const Socket& socket, const std::string& address) {
    sockaddr_storage storage{};
    socklen_t length = 0;
    if (address.find(':') == std::string::npos) {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
        v4->sin_family = AF_INET;
        inet_pton(AF_INET, address.c_str(), &v4->sin_addr);
        length = sizeof *v4;
    } else {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
        v6->sin6_family = AF_INET6;
        inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr);
        length = sizeof *v6;
    }
    if (bind(socket.fd(), reinterpret_cast<sockaddr*>(&storage), length) != 0 ||
        listen(socket.fd(), 4) != 0 ||
        getsockname(socket.fd(), reinterpret_cast<sockaddr*>(&storage), &length) != 0)
        return 0;
    return ntohs(reinterpret_cast<sockaddr_in*>(&storage)->sin_port);
}

// Connects a new socket to 127.0.0.1:port; its own end.
TcpEnd Connect(const Socket& socket, std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (connect(socket.fd(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(socket.fd(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return {};
    return {"127.0.0.1", ntohs(address.sin_port)};
}

TEST(SocketOwnerTest, ListenersThatTakeLoopbackConnectionsAreNamedWithTheirOwner) {
    struct Row {
        int family;
        const char* address;
        bool takesLoopback;
    };
    const Row rows[] = {
        {AF_INET, "127.0.0.1", true},  {AF_INET, "0.0.0.0", true}, {AF_INET6, "::", true},
        {AF_INET, "127.0.0.2", false}, {AF_INET6, "::1", false},
    };
    for (const Row& row : rows) {
        const Socket listener(row.family);
        const std::uint16_t port = Listen(listener, row.address);
        if (port == 0 && row.family == AF_INET6) continue;  // a network without IPv6
        ASSERT_NE(port, 0) << row.address;
        for (const Asker& ask : kAskers) {
            const auto owners = ask.listeners(port);
            if (row.takesLoopback) {
                EXPECT_EQ(owners, std::vector<uid_t>{geteuid()}) << row.address << ask.name;
            } else {
                EXPECT_TRUE(owners.empty()) << row.address << ask.name;
            }
        }
    }
}

TEST(SocketOwnerTest, BothEndsOfAConnectionAreFoundAndNothingElse) {
    const Socket listener(AF_INET);
    const std::uint16_t port = Listen(listener, "127.0.0.1");
    ASSERT_NE(port, 0);
    const Socket client(AF_INET);
    const TcpEnd own = Connect(client, port);
    ASSERT_NE(own.port, 0);
    const TcpEnd service{"127.0.0.1", port};
    for (const Asker& ask : kAskers) {
        EXPECT_EQ(ask.connection(own, service), geteuid()) << ask.name;
        // Not yet accepted: the listener taking it answers for that end.
        EXPECT_EQ(ask.connection(service, own), geteuid()) << ask.name;
    }
    const Socket accepted(accept4(listener.fd(), nullptr, nullptr, SOCK_CLOEXEC), true);
    for (const Asker& ask : kAskers) {
        EXPECT_EQ(ask.connection(service, own), geteuid()) << ask.name;
        EXPECT_EQ(ask.connection({"::ffff:127.0.0.1", service.port}, own), geteuid()) << ask.name;
        EXPECT_EQ(ask.connection(own, {"127.0.0.1", static_cast<std::uint16_t>(port + 1)}),
                  std::nullopt)
            << ask.name;
        EXPECT_EQ(ask.connection({"127.0.0.2", own.port}, service), std::nullopt) << ask.name;
        EXPECT_EQ(ask.connection({"localhost", own.port}, service), std::nullopt) << ask.name;
        EXPECT_TRUE(ask.listeners(own.port).empty()) << ask.name;
    }
}

// Where the kernel answers direct questions, it is asked; the tables are the way out.
TEST(SocketOwnerTest, TheKernelIsAskedDirectlyWhereItAnswers) {
    const Socket listener(AF_INET);
    const std::uint16_t port = Listen(listener, "127.0.0.1");
    ASSERT_NE(port, 0);
    const vesk::net::DiagSocket found =
        vesk::net::LookUpSocket({"127.0.0.1", port}, {"127.0.0.1", 0});
    if (found.answer == vesk::net::DiagSocket::Answer::Unavailable)
        GTEST_SKIP() << "this system answers no direct question about sockets";
    EXPECT_EQ(found.answer, vesk::net::DiagSocket::Answer::Found);
    EXPECT_EQ(found.kind, vesk::net::DiagSocket::Kind::Listening);
    EXPECT_EQ(found.owner, geteuid());
}

TEST(SocketOwnerTest, AnotherUsersListenerAndItsEndOfAConnectionAreTheirs) {
    if (!vesk::test::CanRunAsOtherUser()) GTEST_SKIP() << vesk::test::kNeedsRoot;
    ChildProcess other;
    ASSERT_TRUE(
        other.Start(VESK_OTHER_USER, {.args = {"--uid", vesk::test::kOtherUserId, "listen", "0"}}));
    const std::string line = other.ReadLine().value_or("");
    ASSERT_TRUE(line.starts_with("listening ")) << line << other.Error();
    const auto port = static_cast<std::uint16_t>(std::stoi(line.substr(10)));
    const Socket client(AF_INET);
    const TcpEnd own = Connect(client, port);
    for (const Asker& ask : kAskers) {
        EXPECT_EQ(ask.listeners(port), std::vector<uid_t>{vesk::test::kOtherUser}) << ask.name;
        EXPECT_EQ(ask.connection({"127.0.0.1", port}, own), vesk::test::kOtherUser) << ask.name;
        EXPECT_EQ(ask.connection(own, {"127.0.0.1", port}), geteuid()) << ask.name;
    }
    other.Kill();
    other.Wait();
}

}  // namespace
