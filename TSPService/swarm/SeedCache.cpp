#include "SeedCache.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

namespace vesk::tsp_service {
namespace {

constexpr const char* kEntryFile = "entry";
constexpr const char* kTorrentFile = "package.torrent";
constexpr const char* kUrlKey = "url";
constexpr const char* kFileKey = "file";
constexpr const char* kSizeKey = "size";
constexpr const char* kFinishedKey = "finished";

std::int64_t Number(const std::map<std::string, std::string>& keys, const char* name) {
    const auto it = keys.find(name);
    if (it == keys.end()) return 0;
    try {
        return std::stoll(it->second);
    } catch (...) {
        return 0;
    }
}

bool IsHex40(const std::string& text) {
    return text.size() == 40 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

}  // namespace

SeedCache::SeedCache(std::filesystem::path root) : m_root(std::move(root)) {
    std::error_code ignored;
    std::filesystem::create_directories(m_root, ignored);
}

std::filesystem::path SeedCache::Folder(const std::string& infoHash) const {
    return m_root / infoHash;
}

bool SeedCache::Create(const CacheEntry& entry, const std::string& torrentBytes) {
    if (Read(entry.infoHash)) return true;
    std::error_code error;
    std::filesystem::create_directories(Folder(entry.infoHash), error);
    if (error) return false;
    std::ofstream out(Folder(entry.infoHash) / kTorrentFile, std::ios::binary | std::ios::trunc);
    out << torrentBytes;
    out.close();
    return out && Write(entry);
}

void SeedCache::MarkFinished(const std::string& infoHash, std::int64_t now) {
    auto entry = Read(infoHash);
    if (!entry || entry->finishedAt != 0) return;
    entry->finishedAt = now;
    Write(*entry);
}

std::vector<CacheEntry> SeedCache::List() const {
    std::vector<CacheEntry> entries;
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(m_root, error)) {
        const std::string name = item.path().filename().string();
        if (!IsHex40(name)) continue;
        if (auto entry = Read(name)) entries.push_back(*entry);
    }
    return entries;
}

std::string SeedCache::TorrentBytes(const std::string& infoHash) const {
    std::ifstream in(Folder(infoHash) / kTorrentFile, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void SeedCache::Remove(const std::string& infoHash) {
    std::error_code ignored;
    std::filesystem::remove_all(Folder(infoHash), ignored);
}

// Written aside and renamed, so a killed service leaves the old key file or the new one.
bool SeedCache::Write(const CacheEntry& entry) const {
    const std::filesystem::path file = Folder(entry.infoHash) / kEntryFile;
    const std::filesystem::path temporary = file.string() + ".new";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << kUrlKey << '=' << entry.url << '\n'
            << kFileKey << '=' << entry.fileName << '\n'
            << kSizeKey << '=' << entry.size << '\n'
            << kFinishedKey << '=' << entry.finishedAt << '\n';
        if (!out) return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, file, error);
    return !error;
}

std::optional<CacheEntry> SeedCache::Read(const std::string& infoHash) const {
    std::ifstream in(Folder(infoHash) / kEntryFile);
    if (!in) return std::nullopt;
    std::map<std::string, std::string> keys;
    for (std::string line; std::getline(in, line);) {
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos) keys[line.substr(0, equals)] = line.substr(equals + 1);
    }
    CacheEntry entry{infoHash, keys[kUrlKey], keys[kFileKey], Number(keys, kSizeKey),
                     Number(keys, kFinishedKey)};
    if (entry.fileName.empty()) return std::nullopt;
    return entry;
}

std::vector<std::string> EntriesToDrop(std::vector<CacheEntry> entries, std::int64_t limitBytes,
                                       std::int64_t seedSeconds, std::int64_t now) {
    std::vector<std::string> drop;
    std::int64_t total = 0;
    std::vector<CacheEntry> kept;
    for (const CacheEntry& entry : entries) {
        if (entry.finishedAt != 0 && entry.finishedAt + seedSeconds <= now) {
            drop.push_back(entry.infoHash);
        } else {
            total += entry.size;
            kept.push_back(entry);
        }
    }
    std::stable_sort(kept.begin(), kept.end(), [](const CacheEntry& a, const CacheEntry& b) {
        return a.finishedAt < b.finishedAt;
    });
    for (const CacheEntry& entry : kept) {
        if (total <= limitBytes) break;
        if (entry.finishedAt == 0) continue;
        drop.push_back(entry.infoHash);
        total -= entry.size;
    }
    // Unfinished ones go last: one a transfer still holds is kept by the caller, but one left
    // behind by a cancel must not hold the player's disk for ever.
    for (const CacheEntry& entry : kept) {
        if (total <= limitBytes) break;
        if (entry.finishedAt != 0) continue;
        drop.push_back(entry.infoHash);
        total -= entry.size;
    }
    return drop;
}

}  // namespace vesk::tsp_service
