#include "process/InstanceGuard.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <utility>

#include "fs/Paths.h"

namespace vesk::process {

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

// A lock on the program file itself needs no shared folder such as /tmp, where another user
// could plant a file that blocks every later start.
InstanceGuard::Result InstanceGuard::TryAcquire(std::wstring_view file) {
    Release();
    m_error = 0;
    if (file.empty()) return Result::NoFile;
    try {
        const int fd = open(fs::NativePath(file).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            m_error = errno;
            return Result::CannotOpen;
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
