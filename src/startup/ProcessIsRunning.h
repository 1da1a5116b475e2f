#pragma once
// Whether a program is running: by its full path, or (when fullPathOnly is false) also by
// its file name, where a numbered copy such as "name2.exe" counts for "name.exe".

#include <optional>
#include <string_view>

// pid, when given, receives the matching process's id.
bool ProcessIsRunning(std::wstring_view programPath, std::optional<int>* pid, bool fullPathOnly);

// The two tests for one process, apart from the process list.
bool ProcessMatchesPath(std::wstring_view programPath, std::wstring_view processPath);
bool ProcessMatchesName(std::wstring_view programPath, std::wstring_view processName);
