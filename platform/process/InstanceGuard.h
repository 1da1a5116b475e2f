#pragma once
// The shared instance counter, stood in for by a lock on the program's own file: every copy
// started from that file takes it, so a second copy is turned away while any copy runs. The
// system drops the lock when a holder ends, also when it crashes, so a new copy may then
// start. Nothing is left on disk that could block a later start, and child processes do not
// inherit the lock.

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

    // Locks the file (the running program's path). False when another copy holds it or the
    // file cannot be opened. A file held before is released first.
    bool TryAcquire(std::wstring_view file);
    bool IsHeld() const { return m_fd >= 0; }
    void Release();

private:
    int m_fd = -1;
};

}  // namespace vesk::process
