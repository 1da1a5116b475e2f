#pragma once
// The running processes, read from /proc. Safe from any thread.

#include <optional>
#include <string>
#include <vector>

namespace vesk::process {

struct ProcessEntry {
    int pid = 0;
    std::wstring exePath;  // full path of the program's file
    std::wstring name;     // the program's file name, as the snapshot's image name
};

// Every process whose program file this user may read; others are left out, as a process
// that cannot be opened is skipped.
std::vector<ProcessEntry> SnapshotProcesses();

int CurrentProcessId();

}  // namespace vesk::process
