#include "ProcessIsRunning.h"

#include <filesystem>
#include <system_error>

#include "fs/Paths.h"
#include "process/Processes.h"
#include "text/Case.h"
#include "text/Number.h"

namespace {

std::wstring_view FileName(std::wstring_view path) {
    const size_t slash = path.find_last_of(L"/\\");
    return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

// The path the process list would show for this program: links resolved.
std::wstring CanonicalPath(std::wstring_view path) {
    std::error_code ec;
    const auto canonical =
        std::filesystem::weakly_canonical(std::filesystem::path(vesk::fs::NativePath(path)), ec);
    return ec ? std::wstring(path) : vesk::fs::WidePath(canonical.string());
}

}  // namespace

bool ProcessMatchesPath(std::wstring_view programPath, std::wstring_view processPath) {
    return vesk::text::EqualsNoCase(programPath, processPath);
}

bool ProcessMatchesName(std::wstring_view programPath, std::wstring_view processName) {
    const std::wstring_view name = FileName(programPath);
    if (vesk::text::EqualsNoCase(name, processName)) return true;

    // A numbered copy: "name2.exe" for "name.exe". The stem comparison keeps case.
    const size_t dot = processName.rfind(L'.');
    if (dot == std::wstring_view::npos || name.size() < 4) return false;
    const std::wstring_view processStem = processName.substr(0, dot);
    const std::wstring_view stem = name.substr(0, name.size() - 4);
    if (!processStem.starts_with(stem)) return false;
    return vesk::text::ParseDecimalInt(processStem.substr(stem.size())) != 0;
}

bool ProcessIsRunning(std::wstring_view programPath, std::optional<int>* pid, bool fullPathOnly) {
    const std::wstring wanted = CanonicalPath(programPath);
    for (const auto& process : vesk::process::SnapshotProcesses()) {
        const bool match = ProcessMatchesPath(wanted, process.exePath) ||
                           (!fullPathOnly && ProcessMatchesName(programPath, process.name));
        if (match) {
            if (pid) *pid = process.pid;
            return true;
        }
    }
    return false;
}
