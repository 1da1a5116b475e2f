#pragma once
// The installer's steps: place the service program, register it for the current user, and
// start it.

#include <optional>
#include <string>
#include <string_view>

namespace vesk::tsp_installer {

inline constexpr const char* kRegisteredVersion = "2.3.0.0";

// "Tirsa Networks/TSP/" under $XDG_DATA_HOME (default ~/.local/share); nullopt when there
// is no home.
std::optional<std::string> InstallFolder();
// Writes the program file (replacing it by rename, so a running copy keeps its file).
bool PlaceProgram(const std::string& folder, std::string_view bytes);
// "Version Number", "Program Directory" and "Partner" under the service's key.
bool Register(const std::string& folder, const std::string& partner);
// Starts the service in its folder, in a session of its own, and returns once it listens;
// false when it ended without listening.
bool StartService(const std::string& folder);

}  // namespace vesk::tsp_installer
