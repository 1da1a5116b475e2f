#pragma once
// Installing, starting and restarting the service and waiting for its login. Each call
// blocks its caller, the longest for about two minutes per wait. Safe from any thread.

#include <string>

namespace vesk::tsp {

struct StartResult {
    bool ok = false;
    int code = 0;  // ServiceResult
};

// True when the service answers "loginStatus" with exactly "LoggedIn".
bool IsLoggedIn();
// Asks for the login 25 times over 120 s: kServiceLoggedIn or kServiceLoginTimedOut.
int WaitForLogin();
// Runs the installer unless it already ran, then follows it for up to 120 s; true once
// it has ended and the service is registered.
bool InstallService(const std::wstring& partner);
// Launches "TSP.exe" from an installation folder; true when a process was created.
bool LaunchService(const std::wstring& folder);

// Finds (or installs) and launches the service and waits for its login: code 0, or 5, 6,
// 7 or 12. After an install the installer has started the service. While a program of
// another user listens on the service's port, no service can start: code 7 at once. The
// same holds for both restarts.
StartResult StartService(const std::wstring& partner);
// Shuts a running service down, launches it again and waits for its login: code 0, or 5,
// 7, 8 or 12. Never installs.
StartResult RestartService();
// The restart of the transfer recovery: like RestartService, without the version check:
// kServiceLoggedIn, or 7, 8 or 12.
int RestartStep();

}  // namespace vesk::tsp
