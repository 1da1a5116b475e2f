#include "process/Processes.h"

#include <dirent.h>
#include <unistd.h>

#include <memory>
#include <string_view>

#include "fs/Paths.h"

namespace vesk::process {

namespace {

bool IsProcessId(std::string_view name) {
    if (name.empty()) return false;
    for (char c : name) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// The link is unreadable for another user's process and for kernel threads, and vanishes
// when the process ends while we look; all of these leave the process out. A program file
// deleted since its start keeps the " (deleted)" mark: it is no longer that file.
std::optional<std::string> ProgramFile(std::string_view pid) {
    const std::string link = "/proc/" + std::string(pid) + "/exe";
    std::string target(4096, '\0');
    for (;;) {
        const ssize_t n = readlink(link.c_str(), target.data(), target.size());
        if (n <= 0) return std::nullopt;
        if (static_cast<size_t>(n) < target.size()) {
            target.resize(static_cast<size_t>(n));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

ProcessEntry MakeEntry(std::string_view pid, const std::string& programFile) {
    ProcessEntry entry;
    entry.pid = std::stoi(std::string(pid));
    entry.exePath = fs::WidePath(programFile);
    const size_t slash = entry.exePath.rfind(L'/');
    entry.name = slash == std::wstring::npos ? entry.exePath : entry.exePath.substr(slash + 1);
    return entry;
}

}  // namespace

std::vector<ProcessEntry> SnapshotProcesses() {
    std::vector<ProcessEntry> processes;
    try {
        std::unique_ptr<DIR, int (*)(DIR*)> proc(opendir("/proc"), closedir);
        if (!proc) return processes;
        while (const dirent* item = readdir(proc.get())) {
            const std::string_view name = item->d_name;
            if (!IsProcessId(name)) continue;
            if (std::optional<std::string> file = ProgramFile(name))
                processes.push_back(MakeEntry(name, *file));
        }
    } catch (...) {
        // Out of memory: what was read so far is still a fair snapshot.
    }
    return processes;
}

int CurrentProcessId() {
    return static_cast<int>(getpid());
}

}  // namespace vesk::process
