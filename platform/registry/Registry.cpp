#include "registry/Registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "fs/Files.h"
#include "fs/Paths.h"
#include "fs/WholeFile.h"
#include "registry/HiveText.h"
#include "text/Case.h"

namespace vesk::registry {
namespace {

constexpr const wchar_t* kHiveFolder = L"VeskRegistry/";
constexpr const wchar_t* kHiveFile = L"HKEY_CURRENT_USER.reg";

// Far beyond any hive of ours: a larger file is not read as one.
constexpr std::size_t kMaxHiveBytes = 64u << 20;

// An absent hive is an empty one; nullopt when one is there but cannot be read.
std::optional<Hive> ReadHive(const std::wstring& path) {
    std::string bytes;
    switch (fs::ReadWholeFile(path, bytes, kMaxHiveBytes)) {
        case fs::WholeFileRead::Ok:
            return ParseHive(bytes);
        case fs::WholeFileRead::Absent:
            return Hive{};
        case fs::WholeFileRead::Failed:
            break;
    }
    return std::nullopt;
}

// Held for one read-change-write, so writers in other processes and threads take turns.
class HiveLock {
public:
    explicit HiveLock(const std::string& hivePath)
        : m_fd(open((hivePath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (m_fd >= 0 && flock(m_fd, LOCK_EX) != 0) {
            close(m_fd);
            m_fd = -1;
        }
    }
    ~HiveLock() {
        if (m_fd >= 0) close(m_fd);
    }
    HiveLock(const HiveLock&) = delete;
    HiveLock& operator=(const HiveLock&) = delete;
    bool held() const { return m_fd >= 0; }

private:
    int m_fd;
};

bool ReplaceHive(const std::wstring& path, const Hive& hive) {
    return fs::WriteWholeFile(path, RenderHive(hive), false,
                              fs::ReplacementFile::Durability::Durable);
}

// Runs change on the hive under the lock and writes the hive back when change says so.
bool ChangeHive(const std::function<bool(Hive&)>& change) {
    const auto hive = HivePath();
    if (!hive) return false;
    const std::wstring folder = hive->substr(0, hive->rfind(L'/') + 1);
    if (!fs::CreateFolderTree(folder)) return false;
    HiveLock lock(fs::NativePath(*hive));
    if (!lock.held()) return false;
    // A hive that is there but unreadable is left as it is, not replaced by the change alone.
    std::optional<Hive> content = ReadHive(*hive);
    return content && change(*content) && ReplaceHive(*hive, *content);
}

bool HasLineBreak(std::wstring_view text) {
    return text.find_first_of(L"\r\n") != std::wstring_view::npos;
}

}  // namespace

std::optional<std::wstring> HivePath() {
    const auto config = fs::UserConfigFolder();
    if (!config) return std::nullopt;
    return *config + kHiveFolder + kHiveFile;
}

std::optional<std::wstring> Key::String(std::wstring_view name) const {
    for (const auto& [valueName, value] : m_values) {
        if (text::EqualsNoCase(valueName, name)) return value;
    }
    return std::nullopt;
}

std::optional<Key> OpenKey(std::wstring_view path) {
    try {
        const auto hivePath = HivePath();
        if (!hivePath || NormalKeyPath(path).empty()) return std::nullopt;
        const std::optional<Hive> hive = ReadHive(*hivePath);
        const HiveKey* key = hive ? hive->Find(path) : nullptr;
        if (!key) return std::nullopt;
        return Key(key->values);
    } catch (...) {
        return std::nullopt;
    }
}

bool WriteString(std::wstring_view keyPath, std::wstring_view name, std::wstring_view value) {
    try {
        // A key must have a name, and no name may break the hive's lines.
        if (NormalKeyPath(keyPath).empty() || HasLineBreak(keyPath)) return false;
        return ChangeHive([&](Hive& hive) {
            HiveKey& key = hive.Create(keyPath);
            for (auto& [valueName, stored] : key.values) {
                if (text::EqualsNoCase(valueName, name)) {
                    stored = value;
                    return true;
                }
            }
            key.values.emplace_back(std::wstring(name), std::wstring(value));
            return true;
        });
    } catch (...) {
        return false;
    }
}

bool DeleteKey(std::wstring_view keyPath) {
    try {
        if (NormalKeyPath(keyPath).empty()) return false;
        return ChangeHive([&](Hive& hive) { return hive.Remove(keyPath); });
    } catch (...) {
        return false;
    }
}

}  // namespace vesk::registry
