// The kernel is asked directly where it answers; its socket tables, which name every socket
// of the machine, only where it will not.

#include "net/SocketOwner.h"

#include <unistd.h>

#include "net/SocketDiag.h"
#include "net/SocketTables.h"

namespace vesk::net {
namespace {

constexpr const char* kLoopback = "127.0.0.1";

}  // namespace

uid_t ThisUser() {
    return geteuid();
}

std::vector<uid_t> LoopbackListenerOwners(std::uint16_t port) {
    // From no port at all: only a listener can take it.
    const DiagSocket found = LookUpSocket({kLoopback, port}, {kLoopback, 0});
    if (found.answer == DiagSocket::Answer::Absent) return {};
    if (found.answer == DiagSocket::Answer::Found && found.kind == DiagSocket::Kind::Listening)
        return {found.owner};
    return TableListenerOwners(port);
}

std::optional<uid_t> ConnectionOwner(const TcpEnd& local, const TcpEnd& remote) {
    const DiagSocket found = LookUpSocket(local, remote);
    switch (found.answer) {
        case DiagSocket::Answer::Absent:
            return std::nullopt;
        case DiagSocket::Answer::Unavailable:
            return TableConnectionOwner(local, remote);
        case DiagSocket::Answer::Found:
            break;
    }
    if (found.kind == DiagSocket::Kind::Closed) return std::nullopt;
    if (found.kind != DiagSocket::Kind::HalfOpen) return found.owner;
    // Half open: the listener taking it answers for it.
    const DiagSocket listener = LookUpSocket(local, {remote.address, 0});
    if (listener.answer == DiagSocket::Answer::Found &&
        listener.kind == DiagSocket::Kind::Listening)
        return listener.owner;
    return std::nullopt;
}

}  // namespace vesk::net
