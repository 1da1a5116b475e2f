#include "ExtractionUnits.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>
#include <utility>

namespace {

// The names of the folders and file an entry's name leads through, as the extractor walks
// them: either separator, empty names and "." skipped.
std::vector<std::wstring> PathPrefixes(const std::wstring& name) {
    std::vector<std::wstring> prefixes;
    std::wstring path;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of(L"/\\", start);
        if (end == std::wstring::npos) end = name.size();
        const std::wstring part = name.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == L".") continue;
        if (!path.empty()) path += L'/';
        path += part;
        prefixes.push_back(path);
    }
    return prefixes;
}

class Groups {
public:
    explicit Groups(std::size_t size) : m_parent(size) {
        std::iota(m_parent.begin(), m_parent.end(), std::size_t{0});
    }
    std::size_t Find(std::size_t i) {
        while (m_parent[i] != i) i = m_parent[i] = m_parent[m_parent[i]];
        return i;
    }
    void Join(std::size_t a, std::size_t b) {
        a = Find(a);
        b = Find(b);
        // The smaller position stays the root, so a group is named by its first entry.
        if (a != b) m_parent[std::max(a, b)] = std::min(a, b);
    }

private:
    std::vector<std::size_t> m_parent;
};

// Entries on the same path, and a file with any entry below it: which comes first decides
// what is left, so one worker must take them in order. Folders sharing parents do not
// conflict: creating a folder that exists succeeds.
void JoinConflicts(const std::vector<ExtractionEntry>& entries, Groups& groups) {
    std::vector<std::vector<std::wstring>> prefixes;
    prefixes.reserve(entries.size());
    std::unordered_map<std::wstring, std::size_t> byPath;
    std::unordered_map<std::wstring, std::size_t> fileByPath;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        prefixes.push_back(PathPrefixes(entries[i].name));
        if (prefixes[i].empty()) continue;
        const std::wstring& path = prefixes[i].back();
        if (auto [it, added] = byPath.emplace(path, i); !added) groups.Join(it->second, i);
        if (!entries[i].folder) fileByPath.emplace(path, i);
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        for (std::size_t k = 0; k + 1 < prefixes[i].size(); ++k) {
            if (auto it = fileByPath.find(prefixes[i][k]); it != fileByPath.end()) {
                groups.Join(it->second, i);
            }
        }
    }
}

}  // namespace

std::uint64_t ExtractionWork(const ExtractionEntry& entry) {
    return entry.size + kExtractionEntryOverhead;
}

std::vector<std::vector<std::size_t>> ExtractionUnits(const std::vector<ExtractionEntry>& entries) {
    Groups groups(entries.size());
    JoinConflicts(entries, groups);
    std::unordered_map<std::size_t, std::size_t> slotOfRoot;
    std::vector<std::pair<std::uint64_t, std::vector<std::size_t>>> weighed;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto [it, added] = slotOfRoot.emplace(groups.Find(i), weighed.size());
        if (added) weighed.emplace_back();
        weighed[it->second].first += ExtractionWork(entries[i]);
        weighed[it->second].second.push_back(i);  // ascending, as i is
    }
    std::stable_sort(weighed.begin(), weighed.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<std::vector<std::size_t>> units;
    units.reserve(weighed.size());
    for (auto& unit : weighed) units.push_back(std::move(unit.second));
    return units;
}
