#include "registry/Registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <iterator>

#include "fs/Files.h"
#include "fs/Paths.h"
#include "fs/WholeFile.h"
#include "registry/HiveText.h"
#include "text/Case.h"

namespace vesk::registry {
namespace {

constexpr const wchar_t* kHiveFolder = L"VeskRegistry/";
constexpr const wchar_t* kHiveFile = L"HKEY_CURRENT_USER.reg";

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Hive ReadHive(const std::string& path) {
    const auto bytes = ReadWholeFile(path);
    return bytes ? ParseHive(*bytes) : Hive{};
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
    const std::string path = fs::NativePath(*hive);
    HiveLock lock(path);
    if (!lock.held()) return false;
    Hive content = ReadHive(path);
    return change(content) && ReplaceHive(*hive, content);
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
        const Hive hive = ReadHive(fs::NativePath(*hivePath));
        const HiveKey* key = hive.Find(path);
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
