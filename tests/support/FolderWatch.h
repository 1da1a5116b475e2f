#pragma once
// Waiting for what another process writes, without a timer: the test looks again whenever a
// file in the folder is created, written, closed or moved there, and stops when the process
// it waits on ends.

#include <sys/types.h>

#include <filesystem>
#include <functional>

namespace vesk::test {

// True once done() holds; false when the process ends first (or the folder cannot be watched).
bool WaitForFolder(const std::filesystem::path& folder, pid_t process,
                   const std::function<bool()>& done);

}  // namespace vesk::test
