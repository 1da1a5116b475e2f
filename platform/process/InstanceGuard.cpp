#include "process/InstanceGuard.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <utility>

#include "fs/Paths.h"

namespace vesk::process {

InstanceGuard::InstanceGuard(InstanceGuard&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)) {}

InstanceGuard& InstanceGuard::operator=(InstanceGuard&& other) noexcept {
    if (this != &other) {
        Release();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

InstanceGuard::~InstanceGuard() {
    Release();
}

// A lock on the program file itself needs no shared folder such as /tmp, where another user
// could plant a file that blocks every later start.
bool InstanceGuard::TryAcquire(std::wstring_view file) {
    Release();
    try {
        if (file.empty()) return false;
        const int fd = open(fs::NativePath(file).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return false;
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            close(fd);
            return false;
        }
        m_fd = fd;
        return true;
    } catch (...) {
        return false;
    }
}

void InstanceGuard::Release() {
    const int fd = std::exchange(m_fd, -1);
    if (fd >= 0) close(fd);
}

}  // namespace vesk::process
