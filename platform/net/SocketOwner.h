#pragma once
// Who owns a TCP socket on this machine, as the kernel's socket tables (/proc/net/tcp and
// /proc/net/tcp6 of the caller's network) name it: the user who made the socket. A socket a
// listener accepted belongs to the listener's user. Safe from any thread.

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

// The owners of every socket listening where a connection to 127.0.0.1:port may arrive: on
// that address, or on every address, over IPv4 or IPv6. Empty when none listens there or the
// tables cannot be read.
std::vector<uid_t> LoopbackListenerOwners(std::uint16_t port);

// The owner of the socket whose own end is `local` and whose other end is `remote`; nullopt
// when the tables hold no such socket (a connection closed and waiting out its time holds
// none either).
std::optional<uid_t> ConnectionOwner(const TcpEnd& local, const TcpEnd& remote);

}  // namespace vesk::net
