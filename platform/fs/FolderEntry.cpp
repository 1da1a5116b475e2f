#include "fs/FolderEntry.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "fs/Paths.h"

namespace vesk::fs {
namespace {

constexpr mode_t kAnyExecuteBit = S_IXUSR | S_IXGRP | S_IXOTH;

FolderEntry::Kind KindOf(mode_t mode) {
    if (S_ISLNK(mode)) return FolderEntry::Kind::Link;
    return S_ISREG(mode) ? FolderEntry::Kind::File : FolderEntry::Kind::Other;
}

}  // namespace

FolderEntry InspectEntry(const ConfinedFolder& folder, std::wstring_view name) {
    FolderEntry entry;
    try {
        struct stat info {};
        if (fstatat(folder.Descriptor(), NativePath(name).c_str(), &info, AT_SYMLINK_NOFOLLOW) !=
            0) {
            if (errno == ENOENT) entry.kind = FolderEntry::Kind::Absent;
            return entry;
        }
        entry.kind = KindOf(info.st_mode);
        entry.executable = (info.st_mode & kAnyExecuteBit) != 0;
        entry.size = static_cast<std::uint64_t>(info.st_size);
        entry.device = static_cast<std::uint64_t>(info.st_dev);
        entry.inode = static_cast<std::uint64_t>(info.st_ino);
    } catch (...) {
        entry = FolderEntry{};
    }
    return entry;
}

bool IsSameFile(const FolderEntry& entry, std::wstring_view path) {
    try {
        struct stat info {};
        return entry.kind == FolderEntry::Kind::File &&
               stat(NativePath(path).c_str(), &info) == 0 &&
               static_cast<std::uint64_t>(info.st_dev) == entry.device &&
               static_cast<std::uint64_t>(info.st_ino) == entry.inode;
    } catch (...) {
        return false;
    }
}

bool GrantEveryoneReadWrite(const ConfinedFolder& folder, std::wstring_view name) {
    int fd = -1;
    try {
        fd = openat(folder.Descriptor(), NativePath(name).c_str(),
                    O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    } catch (...) {
        return false;
    }
    if (fd < 0) return false;
    struct stat info {};
    const bool granted = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                         info.st_uid == geteuid() && fchmod(fd, 0666) == 0;
    close(fd);
    return granted;
}

}  // namespace vesk::fs
