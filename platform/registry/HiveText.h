#pragma once
// The text form of the per-user registry hive: keys in brackets, each followed by its
// string values as "name"="value". Key and value names compare without case, as the
// registry does. Parsing and rendering only; Registry.h does the file work.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vesk::registry {

struct HiveKey {
    std::wstring path;  // levels joined by "\", as first written
    std::vector<std::pair<std::wstring, std::wstring>> values;
};

struct Hive {
    std::vector<HiveKey> keys;

    // The key of that path, or null.
    const HiveKey* Find(std::wstring_view path) const;
    // The key of that path, created with every missing level above it.
    HiveKey& Create(std::wstring_view path);
    // Removes the key and every key below it; false when there was none.
    bool Remove(std::wstring_view path);
};

// "A\\B\\" and "\\A\\B" name the same key as "A\\B"; empty levels are dropped.
std::wstring NormalKeyPath(std::wstring_view path);

// Lines that are neither a key, a value nor a comment are skipped, so a damaged line costs
// only itself.
Hive ParseHive(std::string_view utf8);
std::string RenderHive(const Hive& hive);

}  // namespace vesk::registry
