#include "InstanceLockFile.h"

#include "digest/FileDigest.h"
#include "fs/Files.h"
#include "fs/Paths.h"

namespace {

constexpr wchar_t kLockFilePrefix[] = L"VeskUpdate-";
constexpr wchar_t kLockFileSuffix[] = L".lock";

// The folder's bytes as the file system knows them, without the closing "/".
std::string FolderBytes(const std::wstring& programFolder) {
    std::string bytes =
        vesk::fs::NativePath(vesk::fs::CanonicalPath(programFolder).value_or(programFolder));
    while (bytes.size() > 1 && bytes.back() == '/') bytes.pop_back();
    return bytes;
}

std::optional<std::wstring> LockFolder() {
    if (auto runtime = vesk::fs::UserRuntimeFolder()) return runtime;
    auto cache = vesk::fs::LocalAppDataFolder();
    if (!cache || !vesk::fs::CreateFolderTree(*cache)) return std::nullopt;
    return cache;
}

}  // namespace

std::optional<std::wstring> InstanceLockFile(const std::wstring& programFolder) {
    try {
        if (programFolder.empty()) return std::nullopt;
        // A digest names any folder, however long or strange its name, in a few safe bytes.
        const std::optional<std::string> name = vesk::digest::Sha256Hex(FolderBytes(programFolder));
        const std::optional<std::wstring> folder = LockFolder();
        if (!name || !folder) return std::nullopt;
        return *folder + kLockFilePrefix + std::wstring(name->begin(), name->end()) +
               kLockFileSuffix;
    } catch (...) {
        return std::nullopt;
    }
}
