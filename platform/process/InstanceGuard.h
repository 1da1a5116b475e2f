#pragma once
// The shared instance counter, stood in for by a lock on a lock file: every copy of one
// installation takes the same file, so a second copy is turned away while any copy runs. The
// system drops the lock when a holder ends, also when it crashes, so a new copy may then
// start. The file is opened only as a regular file of this user's, never through a link, so
// no other user can hold it or point it elsewhere; child processes do not inherit the lock.

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
        CannotOpen,     // the file cannot be opened or created (no folder, no permission, ...)
        NotOwnFile,     // a link, or no regular file of this user's, is in the file's place
        CannotLock,     // the file opened, but its file system keeps no locks
    };

    InstanceGuard() = default;
    InstanceGuard(InstanceGuard&& other) noexcept;
    InstanceGuard& operator=(InstanceGuard&& other) noexcept;
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;
    ~InstanceGuard();

    // Locks the lock file, creating it (mode 0600) when absent. A file held before is
    // released first.
    Result TryAcquire(std::wstring_view lockFile);
    // The system's error number behind the last CannotOpen, NotOwnFile or CannotLock; 0
    // otherwise.
    int LastError() const { return m_error; }
    bool IsHeld() const { return m_fd >= 0; }
    void Release();

private:
    int m_fd = -1;
    int m_error = 0;
};

}  // namespace vesk::process
