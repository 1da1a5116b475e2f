#include "fs/Files.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <utility>

#include "fs/Paths.h"

namespace vesk::fs {

namespace {

constexpr mode_t kAllWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

bool IsFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A lock over the whole file, whatever its length now or later.
struct flock WholeFileLock(short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    return lock;
}

// What a non-blocking lock attempt says when another holder has the file (EWOULDBLOCK is
// EAGAIN here); any other error means no lock can be had here at all.
bool IsContention(int error) {
    return error == EAGAIN || error == EACCES;
}

void CloseDescriptor(int fd) {
    if (fd >= 0) close(fd);
}

// O_NONBLOCK keeps the open of a FIFO from waiting for a writer; only regular files qualify.
int OpenRegularFile(const std::string& path, int flags, ExclusiveFile::Result& failure) {
    const int fd = open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) {
        failure = errno == ENOENT ? ExclusiveFile::Result::NotFound : ExclusiveFile::Result::Failed;
        return -1;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        close(fd);
        failure = ExclusiveFile::Result::Failed;
        return -1;
    }
    return fd;
}

}  // namespace

bool CreateFolder(std::wstring_view path) {
    return mkdir(NativePath(path).c_str(), 0777) == 0;
}

bool CreateFolderTree(std::wstring_view path) {
    const std::string native = NativePath(path);
    if (native.empty()) return false;
    // Each prefix ending before a "/" is a parent; the failures that matter show in the end test.
    for (size_t slash = native.find('/', 1); slash != std::string::npos;
         slash = native.find('/', slash + 1)) {
        mkdir(native.substr(0, slash).c_str(), 0777);
    }
    mkdir(native.c_str(), 0777);
    return IsFolder(native);
}

std::optional<FileAttributes> GetAttributes(std::wstring_view path) {
    struct stat info {};
    if (stat(NativePath(path).c_str(), &info) != 0) return std::nullopt;
    FileAttributes attributes;
    attributes.folder = S_ISDIR(info.st_mode);
    attributes.readOnly = (info.st_mode & kAllWriteBits) == 0;
    attributes.modified = std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(info.st_mtim.tv_sec) +
            std::chrono::nanoseconds(info.st_mtim.tv_nsec)));
    attributes.size = static_cast<std::uint64_t>(info.st_size);
    return attributes;
}

bool IsAbsent(std::wstring_view path) {
    try {
        struct stat info {};
        return lstat(NativePath(path).c_str(), &info) != 0 && errno == ENOENT;
    } catch (...) {
        return false;  // no answer is no proof of absence
    }
}

bool SetReadOnly(std::wstring_view path, bool readOnly) {
    const std::string native = NativePath(path);
    struct stat info {};
    if (stat(native.c_str(), &info) != 0) return false;
    const mode_t permissions = info.st_mode & 07777;
    const mode_t wanted = readOnly ? (permissions & ~kAllWriteBits) : (permissions | S_IWUSR);
    return chmod(native.c_str(), wanted) == 0;
}

bool GrantEveryoneReadWrite(std::wstring_view path) {
    return chmod(NativePath(path).c_str(), 0666) == 0;
}

bool MakeExecutable(std::wstring_view path) {
    struct stat info {};
    const std::string native = NativePath(path);
    return stat(native.c_str(), &info) == 0 && chmod(native.c_str(), info.st_mode | S_IXUSR) == 0;
}

bool DeleteFile(std::wstring_view path) {
    return unlink(NativePath(path).c_str()) == 0;
}

bool RemoveFolder(std::wstring_view path) {
    return rmdir(NativePath(path).c_str()) == 0;
}

bool RenameFile(std::wstring_view from, std::wstring_view to) {
    return rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0;
}

std::vector<std::wstring> FileNamesIn(std::wstring_view folder) {
    std::vector<std::wstring> names;
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(opendir(NativePath(folder).c_str()),
                                                      closedir);
    if (!listing) return names;
    const int fd = dirfd(listing.get());
    while (const dirent* entry = readdir(listing.get())) {
        struct stat info {};
        if (fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode))
            names.push_back(WidePath(entry->d_name));
    }
    return names;
}

std::optional<std::uint64_t> FreeDiskBytes(std::wstring_view path) {
#if VESK_TEST_SEAMS
    // Tests play a disk of any size: VESK_FREE_DISK_BYTES=N, or "fail" for a failed query.
    if (const char* forced = std::getenv("VESK_FREE_DISK_BYTES")) {
        if (std::string_view(forced) == "fail") return std::nullopt;
        return std::strtoull(forced, nullptr, 10);
    }
#endif
    struct statvfs info {};
    if (statvfs(NativePath(path).c_str(), &info) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

ExclusiveFile::ExclusiveFile(ExclusiveFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)) {}

ExclusiveFile& ExclusiveFile::operator=(ExclusiveFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

ExclusiveFile::~ExclusiveFile() {
    Close();
}

ExclusiveFile::Result ExclusiveFile::Open(std::wstring_view path, Access access,
                                          bool createIfAbsent, ExclusiveFile& out) {
    out.Close();
    int flags = access == Access::Read ? O_RDONLY : O_RDWR;
    if (createIfAbsent) flags |= O_CREAT;
    Result failure = Result::Failed;
    const int fd = OpenRegularFile(NativePath(path), flags, failure);
    if (fd < 0) return failure;
    // An open-file-description lock, unlike a classic record lock, conflicts with other
    // opens in this process too and is not lost when some other descriptor is closed.
    struct flock lock = WholeFileLock(access == Access::Read ? F_RDLCK : F_WRLCK);
    if (fcntl(fd, F_OFD_SETLK, &lock) != 0 && IsContention(errno)) {
        close(fd);
        return Result::Locked;
    }
    // A file system without locks cannot keep others out, but the file itself is usable.
    out.m_fd = fd;
    return Result::Ok;
}

std::optional<std::string> ExclusiveFile::ReadAll() {
    if (m_fd < 0) return std::nullopt;
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t n = pread(m_fd, buffer, sizeof buffer, static_cast<off_t>(content.size()));
        if (n == 0) return content;
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        content.append(buffer, static_cast<size_t>(n));
    }
}

bool ExclusiveFile::Truncate() {
    if (m_fd < 0) return false;
    // An empty file is left alone: truncating one makes some file systems write it out
    // eagerly when it is closed.
    const auto size = Size();
    if (size && *size == 0) return lseek(m_fd, 0, SEEK_SET) == 0;
    return ftruncate(m_fd, 0) == 0 && lseek(m_fd, 0, SEEK_SET) == 0;
}

std::optional<std::uint64_t> ExclusiveFile::SeekToEnd() {
    if (m_fd < 0) return std::nullopt;
    const off_t end = lseek(m_fd, 0, SEEK_END);
    if (end < 0) return std::nullopt;
    return static_cast<std::uint64_t>(end);
}

bool ExclusiveFile::Write(const char* data, std::size_t size) {
    if (m_fd < 0) return false;
    while (size > 0) {
        const ssize_t n = write(m_fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

std::optional<std::uint64_t> ExclusiveFile::Size() const {
    struct stat info {};
    if (m_fd < 0 || fstat(m_fd, &info) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

void ExclusiveFile::Close() {
    CloseDescriptor(std::exchange(m_fd, -1));
}

bool IsFileLocked(std::wstring_view path) {
    const std::string native = NativePath(path);
    const int fd = open(native.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        // Absent is not locked; present but not openable for writing is.
        return errno != ENOENT && errno != ENOTDIR;
    }
    // Only asks; taking the lock even briefly could turn away a real holder. Where the file
    // system keeps no locks, nobody can hold one.
    struct flock probe = WholeFileLock(F_WRLCK);
    const bool locked = fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
    close(fd);
    return locked;
}

}  // namespace vesk::fs
