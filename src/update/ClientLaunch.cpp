#include "ClientLaunch.h"

#include "AppFiles.h"
#include "process/Launch.h"
#include "text/Number.h"
#include "text/WideFormat.h"

std::wstring ClientPath(const std::wstring& programFolder) {
    return programFolder + kClientProgram;
}

std::wstring ClientParameters(const std::vector<std::wstring>& updaterArguments) {
    if (updaterArguments.size() != 4) return L"noupdate";
    return vesk::text::FormatWide(
        L"noupdate %d %s %s %d", vesk::text::ParseDecimalInt(updaterArguments[0]),
        updaterArguments[1], updaterArguments[2], vesk::text::ParseDecimalInt(updaterArguments[3]));
}

bool StartClientProgram(const std::wstring& clientPath, const std::wstring& parameters) {
    return vesk::process::ShellOpen(clientPath, parameters);
}
