// What a download leaves open for programs started while it runs.

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestHttpServer.h"
#include "net/HttpSession.h"

using namespace vesk::net;

namespace {

// Our descriptors connected to that port on 127.0.0.1: the client ends of connections to it.
std::vector<int> ConnectionsTo(int port) {
    std::vector<int> fds;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        const int fd = std::stoi(entry.path().filename().string());
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0 &&
            peer.sin_family == AF_INET && ntohs(peer.sin_port) == port)
            fds.push_back(fd);
    }
    return fds;
}

}  // namespace

// A program started while a download runs must not hold its connection open.
TEST(HttpSession, ConnectionIsCloseOnExec) {
    vesk::test::TestHttpServer server;
    server.Serve("/file", {.body = std::string(200000, 'x')});
    HttpSession session;
    ASSERT_TRUE(session.Open("test"));
    std::vector<int> connections;
    std::vector<int> inheritable;
    const auto outcome = session.Get(server.WideUrl("/file"),
                                     {.onResponse = [](const HttpResponseHead&) { return true; },
                                      .onBody =
                                          [&](const char*, std::size_t) {
                                              if (!connections.empty()) return true;
                                              connections = ConnectionsTo(server.port());
                                              for (int fd : connections)
                                                  if (!(fcntl(fd, F_GETFD) & FD_CLOEXEC))
                                                      inheritable.push_back(fd);
                                              return true;
                                          }});
    EXPECT_EQ(outcome, FetchOutcome::Completed);
    EXPECT_EQ(connections.size(), 1u);
    EXPECT_TRUE(inheritable.empty());
}
