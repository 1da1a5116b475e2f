#include "InstallSteps.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "fs/Paths.h"
#include "registry/Registry.h"

extern char** environ;

namespace vesk::tsp_installer {
namespace {

constexpr const char* kProgramName = "TSP.exe";
constexpr const wchar_t* kServiceKey = L"Software\\Tirsa Networks\\TSP";

// Reads the service's first line; it says "listening" once the port is bound.
bool ReadsListening(int fd) {
    std::string line;
    char c = 0;
    while (read(fd, &c, 1) == 1 && c != '\n') line += c;
    return line.starts_with("listening");
}

}  // namespace

std::optional<std::string> InstallFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/') return std::string(data) + "/Tirsa Networks/TSP/";
    const char* home = std::getenv("HOME");
    if (!home || !*home) return std::nullopt;
    return std::string(home) + "/.local/share/Tirsa Networks/TSP/";
}

bool PlaceProgram(const std::string& folder, std::string_view bytes) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const std::string next = folder + kProgramName + ".new";
    {
        std::ofstream out(next, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) return false;
    }
    return chmod(next.c_str(), 0755) == 0 &&
           std::rename(next.c_str(), (folder + kProgramName).c_str()) == 0;
}

bool Register(const std::string& folder, const std::string& partner) {
    return registry::WriteString(kServiceKey, L"Version Number",
                                 fs::WidePath(kRegisteredVersion)) &&
           registry::WriteString(kServiceKey, L"Program Directory", fs::WidePath(folder)) &&
           registry::WriteString(kServiceKey, L"Partner", fs::WidePath(partner));
}

bool StartService(const std::string& folder) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    std::string program = folder + kProgramName;
    char* argv[] = {program.data(), nullptr};
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(out[1]);
    const bool listening = rc == 0 && ReadsListening(out[0]);
    close(out[0]);
    return listening;
}

}  // namespace vesk::tsp_installer
