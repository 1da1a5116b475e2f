#pragma once
// Starting the service, its installer, or any program the library runs, with the command
// line built as the Windows process creation takes it.

#include <optional>
#include <string>
#include <vector>

namespace vesk::tsp {

struct ProgramLaunch {
    std::wstring commandLine;  // as a Windows program would receive it
    std::wstring program;      // the command line's first word
    std::vector<std::wstring> args;
    std::wstring workFolder;  // the path's folder, with its final "/"
};

// A path without a folder is taken from the host executable's folder. A package of
// extension "msi" runs as `msiexec.exe /i "path"` without the arguments; anything else as
// `"path" arguments`. The line is split back into words by the Windows rules.
ProgramLaunch PlanLaunch(const std::wstring& path, const std::wstring& arguments);

// Starts the program; its process id, or nullopt when it could not be started. A program
// named without a folder (msiexec.exe) is looked for along PATH. Safe from any thread.
std::optional<int> RunProgram(const std::wstring& path, const std::wstring& arguments);

}  // namespace vesk::tsp
