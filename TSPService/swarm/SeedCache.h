#pragma once
// The service's cache of packages it seeds, one folder per torrent below DIR/cache/: the
// package file, its torrent and a small key file (package URL, size, when it finished). The
// swarm downloads into it, so a killed service finds its partial work there again. Called
// from one thread at a time (the swarm's).

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vesk::tsp_service {

struct CacheEntry {
    std::string infoHash;
    std::string url;
    std::string fileName;
    std::int64_t size = 0;
    std::int64_t finishedAt = 0;  // seconds since the epoch; 0 while unfinished
};

class SeedCache {
public:
    explicit SeedCache(std::filesystem::path root);

    std::filesystem::path Folder(const std::string& infoHash) const;
    // A new entry (or the one already there) for the torrent.
    bool Create(const CacheEntry& entry, const std::string& torrentBytes);
    void MarkFinished(const std::string& infoHash, std::int64_t now);
    std::vector<CacheEntry> List() const;
    std::string TorrentBytes(const std::string& infoHash) const;
    void Remove(const std::string& infoHash);

private:
    bool Write(const CacheEntry& entry) const;
    std::optional<CacheEntry> Read(const std::string& infoHash) const;

    const std::filesystem::path m_root;
};

// The entries to drop: finished ones seeded for seedSeconds, then the oldest finished ones
// until all entries fit in limitBytes, then unfinished ones if they still do not fit (the
// caller keeps those a transfer holds).
std::vector<std::string> EntriesToDrop(std::vector<CacheEntry> entries, std::int64_t limitBytes,
                                       std::int64_t seedSeconds, std::int64_t now);

}  // namespace vesk::tsp_service
