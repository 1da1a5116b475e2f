#include "process/InstanceGuard.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "fs/Paths.h"

namespace vesk::process {

namespace {

constexpr mode_t kLockFileMode = 0600;

// The file the descriptor holds may stand for the guard: a regular file of this user's, which
// then nobody else may open.
int CheckOwnFile(int fd) {
    struct stat info {};
    if (fstat(fd, &info) != 0) return errno;
    if (!S_ISREG(info.st_mode)) return EINVAL;
    if (info.st_uid != geteuid()) return EPERM;
    if ((info.st_mode & 07777) != kLockFileMode && fchmod(fd, kLockFileMode) != 0) return errno;
    return 0;
}

}  // namespace

InstanceGuard::InstanceGuard(InstanceGuard&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_error(other.m_error) {}

InstanceGuard& InstanceGuard::operator=(InstanceGuard&& other) noexcept {
    if (this != &other) {
        Release();
        m_fd = std::exchange(other.m_fd, -1);
        m_error = other.m_error;
    }
    return *this;
}

InstanceGuard::~InstanceGuard() {
    Release();
}

InstanceGuard::Result InstanceGuard::TryAcquire(std::wstring_view lockFile) {
    Release();
    m_error = 0;
    if (lockFile.empty()) return Result::NoFile;
    try {
        // A FIFO put in the file's place must not block the open.
        const int fd = open(fs::NativePath(lockFile).c_str(),
                            O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                            kLockFileMode);
        if (fd < 0) {
            m_error = errno;
            return m_error == ELOOP ? Result::NotOwnFile : Result::CannotOpen;
        }
        if (const int error = CheckOwnFile(fd); error != 0) {
            close(fd);
            m_error = error;
            return Result::NotOwnFile;
        }
        // flock says EWOULDBLOCK (EAGAIN) when another description holds the lock; a file
        // system that emulates it with record locks may say EACCES.
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            close(fd);
            if (error == EWOULDBLOCK || error == EACCES) return Result::HeldElsewhere;
            m_error = error;
            return Result::CannotLock;
        }
        m_fd = fd;
        return Result::Acquired;
    } catch (...) {
        m_error = ENOMEM;  // the path could not be built
        return Result::CannotOpen;
    }
}

void InstanceGuard::Release() {
    const int fd = std::exchange(m_fd, -1);
    if (fd >= 0) close(fd);
}

}  // namespace vesk::process
