#pragma once
// Who owns a TCP socket on this machine, as the kernel names it (asked directly, else in its
// socket tables /proc/net/tcp and /proc/net/tcp6 of the caller's network): the user who made
// the socket. A socket a listener accepted belongs to the listener's user. Safe from any
// thread.

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vesk::net {

// One end of a TCP connection: a numeric address ("127.0.0.1", "::1", "::ffff:127.0.0.1")
// and a port.
struct TcpEnd {
    std::string address;
    std::uint16_t port = 0;
};

// The user this process acts as, who owns the sockets it makes.
uid_t ThisUser();

// The owners of the sockets listening where a connection to 127.0.0.1:port arrives: the one
// the kernel would hand it to, or, where it will not say, every one that might take it (on
// that address or on every address, over IPv4 or IPv6). Empty when none listens there or
// nothing can be learnt.
std::vector<uid_t> LoopbackListenerOwners(std::uint16_t port);

// The owner of the socket whose own end is `local` and whose other end is `remote`; for a
// connection not yet accepted, the owner of the listener taking it. nullopt when there is no
// such socket (a connection closed and waiting out its time has none either).
std::optional<uid_t> ConnectionOwner(const TcpEnd& local, const TcpEnd& remote);

}  // namespace vesk::net
