#pragma once
// The current user's registry, stood in for by a file-backed hive under $XDG_CONFIG_HOME
// (default ~/.config): "VeskRegistry/HKEY_CURRENT_USER.reg", one text file for the whole
// hive. Keys are paths of levels separated by "\" and compare without case, as do value
// names; values are strings. Only what the system uses: open a key and read its strings,
// write a string, delete a key.
//
// Safe from any thread and from several processes at once: every write reads, changes and
// replaces the whole file by rename while it holds a lock file, so a reader always sees a
// complete hive.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vesk::registry {

// The hive file; nullopt when the user's configuration folder is unknown.
std::optional<std::wstring> HivePath();

// A key's string values as they were when it was opened.
class Key {
public:
    explicit Key(std::vector<std::pair<std::wstring, std::wstring>> values)
        : m_values(std::move(values)) {}
    // nullopt when the key has no value of that name.
    std::optional<std::wstring> String(std::wstring_view name) const;

private:
    std::vector<std::pair<std::wstring, std::wstring>> m_values;
};

// nullopt when the key, or any level above it, does not exist.
std::optional<Key> OpenKey(std::wstring_view path);
// Sets a string value, creating the key and every missing level above it.
bool WriteString(std::wstring_view keyPath, std::wstring_view name, std::wstring_view value);
// Removes the key with everything below it; false when it did not exist or the hive could
// not be written.
bool DeleteKey(std::wstring_view keyPath);

}  // namespace vesk::registry
