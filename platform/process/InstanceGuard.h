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
    // What one attempt found. Only HeldElsewhere means another copy runs; the others say
    // why no guard could be had at all, and then a copy runs unguarded rather than never.
    enum class Result {
        Acquired,       // this copy holds the guard
        HeldElsewhere,  // another holder has the lock
        NoFile,         // no path was given
        CannotOpen,     // the file does not open for reading (absent, no permission, ...)
        CannotLock,     // the file opened, but its file system keeps no locks
    };

    InstanceGuard() = default;
    InstanceGuard(InstanceGuard&& other) noexcept;
    InstanceGuard& operator=(InstanceGuard&& other) noexcept;
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;
    ~InstanceGuard();

    // Locks the file (the running program's path). A file held before is released first.
    Result TryAcquire(std::wstring_view file);
    // The system's error number behind the last CannotOpen or CannotLock; 0 otherwise.
    int LastError() const { return m_error; }
    bool IsHeld() const { return m_fd >= 0; }
    void Release();

private:
    int m_fd = -1;
    int m_error = 0;
};

}  // namespace vesk::process
