#pragma once
// The retry policy of the transfer operations: a failed request is repaired by
// ErrorHandlerForTransfer and sent again, three attempts in all.

#include "ServiceReplies.h"

namespace vesk::tsp {

inline constexpr int kTransferAttempts = 3;

// Repairs the cause of a request's code: 2 restarts the service (7, 8, 11 or 12), 3 renews
// the network token (9 or 10), 4 waits for the login (11 or 12); any other code gives 0.
int ErrorHandlerForTransfer(int code);

// The recovery gave up: the last record goes back with the handler's code.
inline bool RecoveryGaveUp(int handled) {
    return handled == kServiceLaunchFailed || handled == kServiceNotInstalled ||
           handled == kServiceTokenInvalid;
}

// Runs request until it succeeds, the recovery gives up, or three attempts were made. A
// discarded record is freed before the next attempt.
template <class Request>
auto WithRecovery(Request request) -> decltype(request()) {
    auto reply = request();
    for (int attempt = 1; reply.code != kServiceOk && attempt < kTransferAttempts; ++attempt) {
        const int handled = ErrorHandlerForTransfer(reply.code);
        if (RecoveryGaveUp(handled)) {
            reply.code = handled;
            return reply;
        }
        reply.record.reset();
        reply = request();
    }
    return reply;
}

}  // namespace vesk::tsp
