#pragma once
// The torrent the transfer service fetches beside a package, so players can share it: one
// file named exactly as the package, its pieces hashed from the bytes already written.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vesk::packager {

inline constexpr char kTorrentSuffix[] = ".torrent";

struct TorrentRequest {
    std::string packagePath;  // the bytes to hash (the package's passing file, say)
    std::string name;         // the package's file name, as served
    std::uint64_t size = 0;
    std::vector<std::string> trackers;  // announce URLs
    std::string webSeed;                // the package's own URL
    std::int64_t created = 0;           // seconds since 1970 UTC
};

struct Torrent {
    std::string bytes;     // the bencoded file
    std::string infoHash;  // 40 lower-case hex digits, as a tracker's whitelist lists it
};

// A power of two from 16 KiB to 4 MiB, giving at most about two thousand pieces.
int PieceSizeFor(std::uint64_t packageSize);

// nullopt with the reason in error when the package cannot be read or described.
std::optional<Torrent> MakeTorrent(const TorrentRequest& request, std::string& error);

// The info-hash of a torrent file already written; nullopt when it is no torrent.
std::optional<std::string> InfoHashOfFile(const std::string& path);

}  // namespace vesk::packager
