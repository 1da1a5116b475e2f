#include "fs/ConfinedFolder.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>

#include "fs/Paths.h"

namespace vesk::fs {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// O_NOFOLLOW makes a link in the last name fail instead of leading elsewhere.
int OpenChild(int parent, const std::string& name, bool create, ConfinedFolder::Result& failure) {
    int fd = openat(parent, name.c_str(), kFolderFlags | O_NOFOLLOW);
    if (fd < 0 && errno == ENOENT && create) {
        // Another creator may win the race; the second open settles it either way.
        mkdirat(parent, name.c_str(), 0777);
        fd = openat(parent, name.c_str(), kFolderFlags | O_NOFOLLOW);
    }
    if (fd < 0) {
        failure = (errno == ELOOP || errno == ENOTDIR) ? ConfinedFolder::Result::Refused
                                                       : ConfinedFolder::Result::Failed;
    }
    return fd;
}

}  // namespace

ConfinedFolder::ConfinedFolder(ConfinedFolder&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)) {}

ConfinedFolder& ConfinedFolder::operator=(ConfinedFolder&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

ConfinedFolder::~ConfinedFolder() {
    Close();
}

ConfinedFolder::Result ConfinedFolder::Open(std::wstring_view base, std::wstring_view relative,
                                            bool create, ConfinedFolder& out) {
    out.Close();
    const std::string baseNative = NativePath(base);
    int fd = open(baseNative.empty() ? "." : baseNative.c_str(), kFolderFlags);
    if (fd < 0) return Result::Failed;
    const std::string path = NativePath(relative);
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string name = path.substr(start, end - start);
        start = end + 1;
        if (name.empty() || name == ".") continue;
        Result failure = Result::Refused;
        const int child = name == ".." ? -1 : OpenChild(fd, name, create, failure);
        close(fd);
        if (child < 0) return failure;
        fd = child;
    }
    out.m_fd = fd;
    return Result::Ok;
}

void ConfinedFolder::Close() {
    const int fd = std::exchange(m_fd, -1);
    if (fd >= 0) close(fd);
}

}  // namespace vesk::fs
