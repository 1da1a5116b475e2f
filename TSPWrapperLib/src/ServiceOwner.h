#pragma once
// Whether the service's port belongs to the user the library runs as. Any local user may
// listen on 127.0.0.1:60524 first; a program of another user there is never believed, and
// each refusal is logged with that user's id. Safe from any thread.

#include <sys/types.h>

#include <optional>

#include "net/SocketOwner.h"

namespace vesk::tsp {

// The first user other than the library's own whose socket listens where requests to the
// service arrive; nullopt when every listener there is ours, or none listens.
std::optional<uid_t> ForeignServiceListener();

// For a connection made to the service (own: this end, service: the other): true when the
// socket that took it is this user's. A connection whose other end the socket tables do not
// show is judged by the listeners on the service's port, and refused when there are none.
bool IsOwnServiceConnection(const net::TcpEnd& own, const net::TcpEnd& service);

}  // namespace vesk::tsp
