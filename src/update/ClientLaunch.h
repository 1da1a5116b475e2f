#pragma once
// The client program the update ends with: where it is, what it is told, how it is started.

#include <string>
#include <vector>

// program folder + "VeskClient.exe".
std::wstring ClientPath(const std::wstring& programFolder);

// "noupdate", or "noupdate %d %s %s %d" from exactly four updater arguments (the first and
// the last read as decimal integers, 0 when they hold none). No quoting is added.
std::wstring ClientParameters(const std::vector<std::wstring>& updaterArguments);

// Opens the client with the parameters; the outcome is not examined by the update's endings.
bool StartClientProgram(const std::wstring& clientPath, const std::wstring& parameters);
