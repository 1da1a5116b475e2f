// Prints "online" or "offline" as the connection test answers in this process's network.
// With "--wait-online" it first waits, change by change of the links, for the answer to
// become online, and gives up when nothing changes for a long time.

#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstring>

#include "net/InternetConnection.h"

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--wait-online") == 0) {
        // Listening before looking, so no change falls between the two.
        const int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
        sockaddr_nl address{.nl_family = AF_NETLINK, .nl_groups = RTMGRP_LINK};
        const timeval quietLimit{30, 0};
        char message[8192];
        if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &quietLimit, sizeof quietLimit) == 0) {
            while (!vesk::net::IsInternetConnected() && recv(fd, message, sizeof message, 0) > 0) {
            }
        }
    }
    std::puts(vesk::net::IsInternetConnected() ? "online" : "offline");
    return 0;
}
