#pragma once
// The shared instance counter: one lock file per key (the executable's path), held while
// the process lives. A second holder is turned away while any holder runs; the system
// drops the lock when a holder ends, also when it crashes, so a new copy may then start.
// Child processes do not inherit it.

#include <string>
#include <string_view>

namespace vesk::process {

class InstanceGuard {
public:
    InstanceGuard() = default;
    InstanceGuard(InstanceGuard&& other) noexcept;
    InstanceGuard& operator=(InstanceGuard&& other) noexcept;
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;
    ~InstanceGuard();

    // False when another copy holds the key (or the lock file cannot be made). A key held
    // before is released first.
    bool TryAcquire(std::wstring_view key);
    bool IsHeld() const { return m_fd >= 0; }
    void Release();

    // The lock file that stands for a key; every copy of the program must agree on it.
    static std::string LockFilePath(std::wstring_view key);

private:
    int m_fd = -1;
};

}  // namespace vesk::process
