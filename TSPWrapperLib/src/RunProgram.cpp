#include "RunProgram.h"

#include <cstdlib>

#include "fs/Files.h"
#include "fs/Paths.h"
#include "process/Launch.h"

namespace vesk::tsp {
namespace {

constexpr const wchar_t* kInstallerPackageRunner = L"msiexec.exe";

bool IsInstallerPackage(const std::wstring& path) {
    const std::size_t dot = path.rfind(L'.');
    return dot != std::wstring::npos && path.compare(dot + 1, std::wstring::npos, L"msi") == 0;
}

// The search a Windows process creation makes for a program named without a folder,
// reduced to PATH; unchanged when nothing is found there.
std::wstring OnSearchPath(const std::wstring& program) {
    const char* path = std::getenv("PATH");
    if (program.find(L'/') != std::wstring::npos || !path) return program;
    const std::wstring folders = fs::WidePath(path);
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(L':', start);
        if (end == std::wstring::npos) end = folders.size();
        if (end > start) {
            const std::wstring candidate =
                fs::WithTrailingSlash(folders.substr(start, end - start)) + program;
            const auto attributes = fs::GetAttributes(candidate);
            if (attributes && !attributes->folder) return candidate;
        }
        start = end + 1;
    }
    return program;
}

}  // namespace

ProgramLaunch PlanLaunch(const std::wstring& path, const std::wstring& arguments) {
    ProgramLaunch launch;
    const std::wstring full =
        path.find(L'/') == std::wstring::npos ? fs::ExecutableFolder() + path : path;
    launch.workFolder = full.substr(0, full.rfind(L'/') + 1);
    if (IsInstallerPackage(full)) {
        launch.commandLine = std::wstring(kInstallerPackageRunner) + L" /i \"" + full + L"\"";
    } else {
        launch.commandLine = L"\"" + full + L"\" " + arguments;
    }
    std::vector<std::wstring> words = process::SplitCommandLine(launch.commandLine);
    if (!words.empty()) {
        launch.program = words.front();
        launch.args.assign(words.begin() + 1, words.end());
    }
    return launch;
}

std::optional<int> RunProgram(const std::wstring& path, const std::wstring& arguments) {
    try {
        const ProgramLaunch launch = PlanLaunch(path, arguments);
        if (launch.program.empty()) return std::nullopt;
        return process::StartProgram(OnSearchPath(launch.program), launch.args, launch.workFolder);
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace vesk::tsp
