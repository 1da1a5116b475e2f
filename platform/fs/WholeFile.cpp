#include "fs/WholeFile.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "fs/ConfinedFolder.h"
#include "fs/Paths.h"

namespace vesk::fs {
bool ReadToEnd(int fd, std::string& bytes, std::size_t maxBytes) {
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (bytes.size() > maxBytes || static_cast<std::size_t>(n) > maxBytes - bytes.size())
            return false;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

bool WriteWholeFile(std::wstring_view path, std::string_view bytes, bool executable,
                    ReplacementFile::Durability durability) {
    try {
        const size_t slash = path.rfind(L'/');
        const std::wstring folder = slash == std::wstring_view::npos
                                        ? CurrentDirectory()
                                        : std::wstring(path.substr(0, slash + 1));
        const std::wstring_view name =
            slash == std::wstring_view::npos ? path : path.substr(slash + 1);
        ConfinedFolder where;
        if (ConfinedFolder::Open(folder, L"", false, where) != ConfinedFolder::Result::Ok)
            return false;
        ReplacementFile file;
        if (ReplacementFile::Create(where, name, executable, file) != ReplacementFile::Result::Ok ||
            !file.Write(bytes.data(), bytes.size()))
            return false;
        const auto now = std::chrono::system_clock::now();
        return file.Commit(false, now, now, durability);
    } catch (...) {
        return false;
    }
}

WholeFileRead ReadWholeFile(std::wstring_view path, std::string& bytes, std::size_t maxBytes) {
    bytes.clear();
    int fd = -1;
    try {
        fd = open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    } catch (...) {
        return WholeFileRead::Failed;
    }
    if (fd < 0) return errno == ENOENT ? WholeFileRead::Absent : WholeFileRead::Failed;
    bool ok = false;
    try {
        struct stat info {};
        ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
             static_cast<std::uint64_t>(info.st_size) <= maxBytes;
        if (ok) {
            bytes.reserve(static_cast<std::size_t>(info.st_size));
            ok = ReadToEnd(fd, bytes, maxBytes);
        }
    } catch (...) {
        ok = false;
    }
    close(fd);
    if (!ok) bytes.clear();
    return ok ? WholeFileRead::Ok : WholeFileRead::Failed;
}

}  // namespace vesk::fs
