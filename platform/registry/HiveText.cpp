#include "registry/HiveText.h"

#include <algorithm>
#include <optional>

#include "text/Case.h"
#include "text/Utf.h"

namespace vesk::registry {
namespace {

// Quoted text: backslash, quote and line ends are escaped so a value stays on its line.
std::wstring Quote(std::wstring_view text) {
    std::wstring out = L"\"";
    for (const wchar_t c : text) {
        if (c == L'\\' || c == L'"') {
            out += L'\\';
            out += c;
        } else if (c == L'\n') {
            out += L"\\n";
        } else if (c == L'\r') {
            out += L"\\r";
        } else {
            out += c;
        }
    }
    return out + L'"';
}

// Reads one quoted text starting at line[i]; i ends after the closing quote.
std::optional<std::wstring> Unquote(std::wstring_view line, std::size_t& i) {
    if (i >= line.size() || line[i] != L'"') return std::nullopt;
    std::wstring out;
    for (++i; i < line.size(); ++i) {
        wchar_t c = line[i];
        if (c == L'"') {
            ++i;
            return out;
        }
        if (c == L'\\' && i + 1 < line.size()) {
            c = line[++i];
            if (c == L'n') c = L'\n';
            if (c == L'r') c = L'\r';
        }
        out += c;
    }
    return std::nullopt;
}

std::optional<std::pair<std::wstring, std::wstring>> ParseValue(std::wstring_view line) {
    std::size_t i = 0;
    auto name = Unquote(line, i);
    if (!name || i >= line.size() || line[i] != L'=') return std::nullopt;
    ++i;
    auto value = Unquote(line, i);
    if (!value || i != line.size()) return std::nullopt;
    return std::make_pair(std::move(*name), std::move(*value));
}

bool IsBelow(std::wstring_view path, std::wstring_view parent) {
    return path.size() > parent.size() && path[parent.size()] == L'\\' &&
           text::EqualsNoCase(path.substr(0, parent.size()), parent);
}

template <class Keys>
auto FindKey(Keys& keys, std::wstring_view path) -> decltype(&keys.front()) {
    const std::wstring wanted = NormalKeyPath(path);
    const auto it = std::find_if(keys.begin(), keys.end(), [&](const HiveKey& key) {
        return text::EqualsNoCase(key.path, wanted);
    });
    return it == keys.end() ? nullptr : &*it;
}

}  // namespace

std::wstring NormalKeyPath(std::wstring_view path) {
    std::wstring out;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(L'\\', start);
        if (end == std::wstring_view::npos) end = path.size();
        if (end > start) {
            if (!out.empty()) out += L'\\';
            out.append(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return out;
}

const HiveKey* Hive::Find(std::wstring_view path) const {
    return FindKey(keys, path);
}

HiveKey& Hive::Create(std::wstring_view path) {
    const std::wstring wanted = NormalKeyPath(path);
    HiveKey* found = nullptr;
    std::size_t end = 0;
    // Every level above exists once a key exists, as in the registry.
    while (end != std::wstring::npos) {
        end = wanted.find(L'\\', end + 1);
        const std::wstring level = wanted.substr(0, end);
        found = FindKey(keys, level);
        if (!found) found = &keys.emplace_back(HiveKey{level, {}});
    }
    return *found;
}

bool Hive::Remove(std::wstring_view path) {
    const std::wstring wanted = NormalKeyPath(path);
    const auto before = keys.size();
    std::erase_if(keys, [&](const HiveKey& key) {
        return text::EqualsNoCase(key.path, wanted) || IsBelow(key.path, wanted);
    });
    return keys.size() != before;
}

Hive ParseHive(std::string_view utf8) {
    Hive hive;
    // Values hold paths: bytes that are not UTF-8 come back exactly as they were written.
    const std::wstring text = text::NativeBytesToWide(utf8);
    HiveKey* current = nullptr;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring_view line(text.data() + start, end - start);
        if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
        start = end + 1;
        if (line.size() >= 2 && line.front() == L'[' && line.back() == L']') {
            current = &hive.Create(line.substr(1, line.size() - 2));
        } else if (auto value = ParseValue(line); value && current) {
            current->values.push_back(std::move(*value));
        }
    }
    return hive;
}

std::string RenderHive(const Hive& hive) {
    std::wstring out = L"; per-user registry hive\n";
    for (const HiveKey& key : hive.keys) {
        out += L"\n[" + key.path + L"]\n";
        for (const auto& [name, value] : key.values)
            out += Quote(name) + L"=" + Quote(value) + L"\n";
    }
    return text::WideToNativeBytes(out);
}

}  // namespace vesk::registry
