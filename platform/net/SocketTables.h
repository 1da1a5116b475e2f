#pragma once
// The kernel's socket tables as text (/proc/net/tcp and /proc/net/tcp6 of the caller's
// network): every socket with its two ends, its state and its owner. Each read walks every
// socket of the machine, so SocketOwner asks them only where the system answers no direct
// question. Safe from any thread.

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "net/SocketOwner.h"

namespace vesk::net {

// The owners of every socket listening where a connection to 127.0.0.1:port may arrive: on
// that address, or on every address, over IPv4 or IPv6.
std::vector<uid_t> TableListenerOwners(std::uint16_t port);

// The owner of the socket whose own end is local and whose other end is remote; a connection
// closed and waiting out its time has none.
std::optional<uid_t> TableConnectionOwner(const TcpEnd& local, const TcpEnd& remote);

}  // namespace vesk::net
