#pragma once
// A direct question to the kernel's socket diagnostics (netlink): which socket a TCP segment
// between two ends would reach, and whose it is. The kernel looks it up as it would for the
// segment itself, without walking every socket. Safe from any thread.

#include <sys/types.h>

#include "net/SocketOwner.h"

namespace vesk::net {

struct DiagSocket {
    enum class Answer {
        Found,
        Absent,       // no socket would take it
        Unavailable,  // the system will not say (no such interface, ends of two families)
    };
    enum class Kind {
        Listening,
        Connected,
        // Half opened, or closed and waiting out its time: the kernel names no owner for it.
        HalfOpen,
        Closed,
    };
    Answer answer = Answer::Unavailable;
    Kind kind = Kind::Closed;
    uid_t owner = 0;
};

// The socket with own end local and other end remote, or else the one listening at local
// that would take such a connection.
DiagSocket LookUpSocket(const TcpEnd& local, const TcpEnd& remote);

}  // namespace vesk::net
