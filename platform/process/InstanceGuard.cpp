#include "process/InstanceGuard.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "text/Utf.h"

namespace vesk::process {

namespace {

constexpr std::uint64_t kFnvOffsetBasis = 0xcbf29ce484222325ULL;
constexpr std::uint64_t kFnvPrime = 0x100000001b3ULL;

std::uint64_t Fnv1a64(std::string_view bytes) {
    std::uint64_t hash = kFnvOffsetBasis;
    for (unsigned char byte : bytes) {
        hash ^= byte;
        hash *= kFnvPrime;
    }
    return hash;
}

// /tmp is shared with every user: never follow a link planted there, and only change the
// mode of a file this call made. Another user's lock file may be readable only, which is
// enough for flock.
int OpenLockFile(const std::string& path) {
    constexpr int kFlags = O_CLOEXEC | O_NOFOLLOW;
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | kFlags, 0666);
    if (fd >= 0) {
        // The umask would otherwise keep other users from opening it.
        fchmod(fd, 0666);
        return fd;
    }
    if (errno != EEXIST) return -1;
    fd = open(path.c_str(), O_RDWR | kFlags);
    if (fd < 0 && errno == EACCES) fd = open(path.c_str(), O_RDONLY | kFlags);
    if (fd < 0) return -1;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

std::string InstanceGuard::LockFilePath(std::wstring_view key) {
    char name[64];
    std::snprintf(name, sizeof name, "/tmp/vesk-instance-%016" PRIx64 ".lock",
                  Fnv1a64(text::WideToUtf8(key)));
    return name;
}

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

bool InstanceGuard::TryAcquire(std::wstring_view key) {
    Release();
    try {
        const int fd = OpenLockFile(LockFilePath(key));
        if (fd < 0) return false;
        // The file stays behind when released: removing it would let two holders lock two
        // different files under one name.
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
