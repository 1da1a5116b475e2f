#include "fs/HeldFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>

#include "fs/Paths.h"

namespace vesk::fs {

std::shared_ptr<const HeldFile> HeldFile::Open(std::wstring_view path) {
    try {
        const int fd = open(NativePath(path).c_str(),
                            O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) return nullptr;
        struct stat info {};
        if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            close(fd);
            return nullptr;
        }
        std::shared_ptr<const HeldFile> held(new (std::nothrow) HeldFile(fd));
        if (!held) close(fd);
        return held;
    } catch (...) {
        return nullptr;
    }
}

HeldFile::~HeldFile() {
    close(m_fd);
}

std::optional<std::uint64_t> HeldFile::Size() const {
    struct stat info {};
    if (fstat(m_fd, &info) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

}  // namespace vesk::fs
