#include "profile/ProfileFile.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <optional>
#include <string>

#include "fs/ConfinedFolder.h"
#include "fs/Paths.h"
#include "fs/ReplacementFile.h"
#include "fs/WholeFile.h"
#include "profile/ProfileLines.h"
#include "text/Number.h"

namespace vesk::profile {
namespace {

// A settings file is a few kilobytes; anything this large is not one and is left alone.
constexpr std::size_t kMaxFileBytes = 16u << 20;
constexpr int kMaxLinkHops = 40;

std::mutex g_mutex;

enum class Load { kOk, kAbsent, kFailed };

// O_NONBLOCK keeps a FIFO put in the file's place from hanging the caller.
Load LoadFile(const std::string& path, std::string& bytes, struct stat& info) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT ? Load::kAbsent : Load::kFailed;
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
              static_cast<std::size_t>(info.st_size) <= kMaxFileBytes;
    if (ok) {
        bytes.reserve(static_cast<std::size_t>(info.st_size));
        ok = fs::ReadToEnd(fd, bytes, kMaxFileBytes);
    }
    close(fd);
    return ok ? Load::kOk : Load::kFailed;
}

// The stored value, or nothing when the file, section or key is absent or unreadable.
std::optional<std::wstring> Lookup(std::wstring_view path, std::wstring_view section,
                                   std::wstring_view key) {
    std::string bytes;
    struct stat info {};
    if (LoadFile(fs::NativePath(path), bytes, info) != Load::kOk) return std::nullopt;
    return FindValue(bytes, section, key);
}

// Follows symbolic links so that a linked settings file is updated where it lives and the
// link itself stays.
std::optional<std::string> ResolveLinks(std::string path) {
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        std::string target(PATH_MAX, '\0');
        const ssize_t n = readlink(path.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) return std::nullopt;
        target.resize(static_cast<std::size_t>(n));
        if (target.front() != '/') target = path.substr(0, path.rfind('/') + 1) + target;
        path = std::move(target);
    }
    return std::nullopt;
}

// Folder and name go back to wide paths for the shared replacement file; that trip keeps
// every byte, so the file written is the one that was read.
bool ReplaceFile(const std::string& target, std::string_view bytes) {
    const std::size_t nameStart = target.rfind('/') + 1;  // 0 when there is no "/"
    const std::wstring folderPath = fs::WidePath(std::string_view(target).substr(0, nameStart));
    const std::wstring name = fs::WidePath(std::string_view(target).substr(nameStart));
    fs::ConfinedFolder folder;
    fs::ReplacementFile file;
    const auto now = std::chrono::system_clock::now();
    return fs::ConfinedFolder::Open(folderPath, L"", false, folder) ==
               fs::ConfinedFolder::Result::Ok &&
           fs::ReplacementFile::Create(folder, name, false, file) ==
               fs::ReplacementFile::Result::Ok &&
           file.Write(bytes.data(), bytes.size()) &&
           file.Commit(false, now, now, fs::ReplacementFile::Durability::Durable);
}

// A file without write bits is read-only, as Windows sees it, even to a privileged caller.
bool MayChange(const std::string& target, const struct stat& info) {
    if ((info.st_mode & 0222) == 0) return false;
    return faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0;
}

bool Write(std::wstring_view path, std::wstring_view section, std::wstring_view key,
           std::wstring_view value) {
    if (!IsWritable(section, key, value)) return false;
    const std::optional<std::string> target = ResolveLinks(fs::NativePath(path));
    if (!target || target->empty()) return false;
    std::string bytes;
    struct stat info {};
    const Load load = LoadFile(*target, bytes, info);
    if (load == Load::kFailed) return false;  // never replace what could not be read
    if (load == Load::kOk && !MayChange(*target, info)) return false;
    return ReplaceFile(*target, SetValue(bytes, section, key, value));
}

}  // namespace

std::wstring ReadString(std::wstring_view path, std::wstring_view section, std::wstring_view key,
                        std::wstring_view defaultValue, std::size_t bufferChars) {
    try {
        std::lock_guard lock(g_mutex);
        std::wstring value = Lookup(path, section, key).value_or(std::wstring(defaultValue));
        if (bufferChars > 0 && value.size() > bufferChars - 1) value.resize(bufferChars - 1);
        return value;
    } catch (...) {
        return {};
    }
}

int ReadInt(std::wstring_view path, std::wstring_view section, std::wstring_view key,
            int defaultValue) {
    try {
        std::lock_guard lock(g_mutex);
        const std::optional<std::wstring> value = Lookup(path, section, key);
        if (!value || value->empty()) return defaultValue;
        return text::ParseDecimalInt(*value);
    } catch (...) {
        return defaultValue;
    }
}

bool WriteString(std::wstring_view path, std::wstring_view section, std::wstring_view key,
                 std::wstring_view value) {
    try {
        std::lock_guard lock(g_mutex);
        return Write(path, section, key, value);
    } catch (...) {
        return false;
    }
}

}  // namespace vesk::profile
