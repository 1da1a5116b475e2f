#pragma once
// Our stand-in for the system's Internet-connection test: the computer counts as connected
// while a network interface other than loopback is up and running. Tests can fix the
// answer. Safe from any thread.

#include <optional>

namespace vesk::net {

// The fixed answer of SetInternetConnectedForTesting, else (in builds made for tests)
// VESK_INTERNET=online|offline, else what the interfaces say.
bool IsInternetConnected();

// A fixed answer for this process; nullopt gives the question back to the system.
void SetInternetConnectedForTesting(std::optional<bool> connected);

}  // namespace vesk::net
