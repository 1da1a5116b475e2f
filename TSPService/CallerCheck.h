#pragma once
// Who may talk to the service: programs of its own user only. The socket tables name the
// owner of the caller's socket; a caller of another user has its connection shut before any
// answer leaves. Safe from any thread.

#include <httplib.h>

namespace vesk::tsp_service {

// True when the socket at the request's other end belongs to the service's own user.
bool IsOwnUsersCall(const httplib::Request& request);

// Shuts the service's end of the request's connection both ways, so nothing is answered.
void ShutConnection(const httplib::Request& request);

}  // namespace vesk::tsp_service
