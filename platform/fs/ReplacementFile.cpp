#include "fs/ReplacementFile.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <optional>
#include <string_view>
#include <utility>

#include "fs/Paths.h"

namespace vesk::fs {

namespace {

constexpr mode_t kAllWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;
constexpr int kCreateAttempts = 100;

bool IsSingleName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// The passing name is kept short, so only the rename would find a name too long for the
// folder; checked first, nothing is written for a file that could never be put in place.
bool FitsFolder(int folder, const std::string& name) {
    const long longest = fpathconf(folder, _PC_NAME_MAX);
    return longest < 0 || name.size() <= static_cast<std::size_t>(longest);
}

// Root may write anything; for anyone else the write bits alone do not say whether the
// file is theirs to replace.
bool MayWrite(int folder, const std::string& target, mode_t mode) {
    if ((mode & kAllWriteBits) == 0) return false;
    return geteuid() == 0 || faccessat(folder, target.c_str(), W_OK, AT_EACCESS) == 0;
}

// A new file's passing name: ".~" + the target's first characters (kept short so a long
// target name still leaves room) + "." + the writer's id + "." + a counter + ".part".
constexpr std::string_view kPassingStart = ".~";
constexpr std::string_view kPassingEnd = ".part";
constexpr std::size_t kPassingTargetPart = 16;

// Unique within the process by the counter, across processes by the id; a leftover of an
// earlier run with the same id is stepped over.
std::string PassingName(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    return std::string(kPassingStart) + target.substr(0, kPassingTargetPart) + "." +
           std::to_string(getpid()) + "." + std::to_string(counter.fetch_add(1)) +
           std::string(kPassingEnd);
}

// Deeper than any installation; a loop of bind mounts cannot keep the walk going for ever.
constexpr int kMaxWalkDepth = 64;

bool IsDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The writer's process id when name is a passing name as PassingName makes them.
std::optional<pid_t> PassingWriter(std::string_view name) {
    if (!name.starts_with(kPassingStart) || !name.ends_with(kPassingEnd)) return std::nullopt;
    name.remove_prefix(kPassingStart.size());
    name.remove_suffix(kPassingEnd.size());
    const std::size_t counterDot = name.rfind('.');
    if (counterDot == std::string_view::npos || !IsDigits(name.substr(counterDot + 1)))
        return std::nullopt;
    name = name.substr(0, counterDot);
    const std::size_t pidDot = name.rfind('.');
    if (pidDot == std::string_view::npos || pidDot == 0 || pidDot > kPassingTargetPart)
        return std::nullopt;
    const std::string_view digits = name.substr(pidDot + 1);
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
    if (!IsDigits(digits) || error != std::errc() || end != digits.data() + digits.size() ||
        pid <= 0)
        return std::nullopt;
    return pid;
}

bool IsRunning(pid_t pid) {
    return pid == getpid() || kill(pid, 0) == 0 || errno == EPERM;
}

// Takes over folder (a descriptor), and closes it.
void RemoveAbandonedIn(int folder, int depth) {
    DIR* listing = fdopendir(folder);
    if (!listing) {
        close(folder);
        return;
    }
    while (const dirent* entry = readdir(listing)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat info {};
        if (fstatat(folder, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(info.st_mode)) {
            if (depth >= kMaxWalkDepth) continue;
            const int child =
                openat(folder, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child >= 0) RemoveAbandonedIn(child, depth + 1);
        } else if (S_ISREG(info.st_mode)) {
            const auto writer = PassingWriter(name);
            if (writer && !IsRunning(*writer)) unlinkat(folder, entry->d_name, 0);
        }
    }
    closedir(listing);
}

timespec ToTimespec(ReplacementFile::TimePoint time) {
    const auto since = time.time_since_epoch();
    auto seconds = std::chrono::floor<std::chrono::seconds>(since);
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(since - seconds);
    timespec result{};
    result.tv_sec = static_cast<time_t>(seconds.count());
    result.tv_nsec = static_cast<long>(nanoseconds.count());
    return result;
}

}  // namespace

ReplacementFile::~ReplacementFile() {
    Abandon();
}

ReplacementFile::Result ReplacementFile::Create(const ConfinedFolder& folder,
                                                std::wstring_view name, bool executable,
                                                ReplacementFile& out, DeferredClose* release) {
    out.Abandon();
    const std::string target = NativePath(name);
    if (!folder.IsOpen() || !IsSingleName(target) || !FitsFolder(folder.Descriptor(), target)) {
        return Result::Failed;
    }
    struct stat existing {};
    const bool exists =
        fstatat(folder.Descriptor(), target.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    const bool replacesFile = exists && S_ISREG(existing.st_mode);
    if (exists && !replacesFile && !S_ISLNK(existing.st_mode)) return Result::Failed;
    if (replacesFile && !MayWrite(folder.Descriptor(), target, existing.st_mode)) {
        return Result::ReadOnly;
    }

    const mode_t mode = executable ? 0777 : 0666;
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        std::string passing = PassingName(target);
        const int fd = openat(folder.Descriptor(), passing.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return Result::Unwritable;
        }
        // An owner not kept is no reason to fail, permissions not kept are: the file could
        // be open to more users. fchown goes first as it clears the set-id bits.
        if (replacesFile) {
            static_cast<void>(fchown(fd, existing.st_uid, existing.st_gid));
            if (fchmod(fd, existing.st_mode & 07777) != 0) {
                close(fd);
                unlinkat(folder.Descriptor(), passing.c_str(), 0);
                return Result::Unwritable;
            }
        }
        out.m_folder = folder.Descriptor();
        out.m_fd = fd;
        out.m_target = target;
        out.m_passing = std::move(passing);
        out.m_release = release;
        out.m_replaces = replacesFile;
        out.m_replacedBytes =
            replacesFile ? static_cast<std::uint64_t>(existing.st_blocks) * 512 : 0;
        return Result::Ok;
    }
    return Result::Failed;
}

bool ReplacementFile::Write(const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    bool drained = false;
    while (size > 0) {
        const ssize_t n = write(m_fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == ENOSPC || errno == EDQUOT) && m_release && !drained) {
            m_release->Drain();
            drained = true;
            continue;
        }
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool ReplacementFile::Commit(bool readOnly, TimePoint accessed, TimePoint modified,
                             Durability durability) {
    if (m_fd < 0) return false;
    if (readOnly) {
        struct stat info {};
        if (fstat(m_fd, &info) == 0) fchmod(m_fd, info.st_mode & 07777 & ~kAllWriteBits);
    }
    const timespec times[2] = {ToTimespec(accessed), ToTimespec(modified)};
    futimens(m_fd, times);
    const bool durable = durability == Durability::Durable;
    if (durable && fsync(m_fd) != 0) {
        Abandon();
        return false;
    }
    // A failed close may be the first report of a failed write.
    const bool closed = close(std::exchange(m_fd, -1)) == 0;
    // A hold on the file replaced keeps the rename from freeing it; release frees it aside.
    const int replaced = m_release && m_replaces && closed
                             ? openat(m_folder, m_target.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC)
                             : -1;
    if (!closed || renameat(m_folder, m_passing.c_str(), m_folder, m_target.c_str()) != 0) {
        if (replaced >= 0) close(replaced);
        Abandon();
        return false;
    }
    m_passing.clear();
    if (replaced >= 0) m_release->Close(replaced, m_replacedBytes);
    // The new content is in place either way; a failed folder sync cannot take that back.
    if (durable) fsync(m_folder);
    return true;
}

void ReplacementFile::RemoveAbandoned(std::wstring_view folder) {
    try {
        const int fd = open(NativePath(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) RemoveAbandonedIn(fd, 0);
    } catch (...) {
        // What was left stays for a later walk.
    }
}

void ReplacementFile::Abandon() {
    if (m_fd >= 0) close(std::exchange(m_fd, -1));
    if (!m_passing.empty()) unlinkat(m_folder, m_passing.c_str(), 0);
    m_passing.clear();
}

}  // namespace vesk::fs
