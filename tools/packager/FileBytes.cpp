#include "FileBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace vesk::packager {
namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Reads to the end, one byte past the limit at most; false on a read error.
bool ReadAll(int fd, std::size_t maxBytes, std::string& bytes) {
    char buffer[64 * 1024];
    while (bytes.size() <= maxBytes) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

FileBytes ReadFileBytes(const std::string& path, std::size_t maxBytes) {
    // Not blocking, so a pipe put in the file's place cannot hold the packager.
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) return {errno == ENOENT ? ReadStatus::Missing : ReadStatus::Unreadable, {}};
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) return {};
    if (!S_ISREG(info.st_mode)) return {ReadStatus::NotAFile, {}};
    if (static_cast<std::uint64_t>(info.st_size) > maxBytes) return {ReadStatus::TooLarge, {}};
    FileBytes file;
    file.bytes.reserve(static_cast<std::size_t>(info.st_size));
    if (!ReadAll(fd.get(), maxBytes, file.bytes)) return {};
    file.status = file.bytes.size() > maxBytes ? ReadStatus::TooLarge : ReadStatus::Read;
    if (file.status != ReadStatus::Read) file.bytes.clear();
    return file;
}

}  // namespace vesk::packager
