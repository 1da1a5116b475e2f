#include "fs/PrivateFolder.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <utility>

#include "fs/Paths.h"

namespace vesk::fs {
namespace {

constexpr mode_t kOwnerOnly = 0700;

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

PrivateFolder::~PrivateFolder() {
    Close();
}

void PrivateFolder::Close() {
    if (m_fd >= 0) close(std::exchange(m_fd, -1));
}

bool PrivateFolder::MakeFresh(std::wstring_view path, PrivateFolder& out) {
    out.Close();
    try {
        std::string native = NativePath(path);
        // "folder/" would lead through a link in its place, and remove what it leads to.
        while (native.size() > 1 && native.back() == '/') native.pop_back();
        std::error_code ignored;
        std::filesystem::remove_all(native, ignored);
        // Made here and now, so it is ours and no one else has entered it.
        if (mkdir(native.c_str(), kOwnerOnly) != 0) return false;
        const int fd = open(native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) return false;
        struct stat info {};
        // The umask may have taken the owner's own bits.
        if (fstat(fd, &info) != 0 || info.st_uid != geteuid() || fchmod(fd, kOwnerOnly) != 0) {
            close(fd);
            return false;
        }
        out.m_fd = fd;
        return true;
    } catch (...) {
        return false;
    }
}

bool PrivateFolder::WriteNewFile(std::wstring_view name, std::string_view bytes, bool executable) {
    if (m_fd < 0) return false;
    try {
        const std::string native = NativePath(name);
        if (native.empty() || native == "." || native == ".." ||
            native.find('/') != std::string::npos)
            return false;
        const int fd =
            openat(m_fd, native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                   executable ? kOwnerOnly : 0600);
        if (fd < 0) return false;
        const bool wrote = WriteAll(fd, bytes);
        // A failed close may be the first report of a failed write.
        const bool closed = close(fd) == 0;
        if (wrote && closed) return true;
        unlinkat(m_fd, native.c_str(), 0);
        return false;
    } catch (...) {
        return false;
    }
}

}  // namespace vesk::fs
