#include "LoadImageViaStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "fs/Paths.h"

namespace {

// Reads the whole file, shared with other readers and writers; nothing when it cannot be
// opened or read, or is not a regular file.
bool ReadWhole(const std::string& path, std::vector<std::uint8_t>& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    std::uint8_t buffer[65536];
    while (ok) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) ok = false;
        if (n <= 0) break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    ::close(fd);
    return ok;
}

}  // namespace

std::unique_ptr<vesk::gfx::Bitmap> LoadImageViaStream(const std::wstring& path) {
    std::vector<std::uint8_t> bytes;
    if (!ReadWhole(vesk::fs::NativePath(path), bytes)) return nullptr;
    return std::make_unique<vesk::gfx::Bitmap>(vesk::gfx::Bitmap::FromMemory(bytes));
}
