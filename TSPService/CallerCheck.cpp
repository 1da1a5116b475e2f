#include "CallerCheck.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>
#include <string>

#include "net/SocketOwner.h"

namespace vesk::tsp_service {
namespace {

// The numeric address and port of one end of an IPv4 or IPv6 socket; port 0 for anything else.
net::TcpEnd EndOf(const sockaddr_storage& address) {
    char text[INET6_ADDRSTRLEN] = "";
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
        return {text, ntohs(v4.sin_port)};
    }
    if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        return {text, ntohs(v6.sin6_port)};
    }
    return {};
}

bool Matches(const net::TcpEnd& end, const std::string& address, int port) {
    return end.port != 0 && end.port == port && end.address == address;
}

bool IsConnectionOf(int fd, const httplib::Request& request) {
    sockaddr_storage own{};
    sockaddr_storage peer{};
    socklen_t ownLength = sizeof own;
    socklen_t peerLength = sizeof peer;
    return getsockname(fd, reinterpret_cast<sockaddr*>(&own), &ownLength) == 0 &&
           getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) == 0 &&
           Matches(EndOf(own), request.local_addr, request.local_port) &&
           Matches(EndOf(peer), request.remote_addr, request.remote_port);
}

}  // namespace

bool IsOwnUsersCall(const httplib::Request& request) {
    if (request.remote_port <= 0 || request.local_port <= 0) return false;
    const auto owner =
        net::ConnectionOwner({request.remote_addr, static_cast<std::uint16_t>(request.remote_port)},
                             {request.local_addr, static_cast<std::uint16_t>(request.local_port)});
    return owner == net::ThisUser();
}

// The request does not carry its socket: the one whose two ends are the request's is it.
void ShutConnection(const httplib::Request& request) {
    DIR* descriptors = opendir("/proc/self/fd");
    if (!descriptors) return;
    while (const dirent* entry = readdir(descriptors)) {
        if (entry->d_name[0] == '.') continue;
        const int fd = std::atoi(entry->d_name);
        if (fd != dirfd(descriptors) && IsConnectionOf(fd, request)) shutdown(fd, SHUT_RDWR);
    }
    closedir(descriptors);
}

}  // namespace vesk::tsp_service
