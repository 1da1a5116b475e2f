#pragma once
// The torrent published beside a package: parsed and accepted only when it describes exactly
// that package's file, so the swarm can never write anything else.

#include <libtorrent/torrent_info.hpp>

#include <memory>
#include <optional>
#include <string>

namespace vesk::tsp_service {

// The ".torrent" fetched for a package is at most this large.
inline constexpr std::size_t kTorrentSizeCap = 4 * 1024 * 1024;

struct PackageTorrent {
    std::shared_ptr<const lt::torrent_info> info;
    std::string infoHash;  // v1, lower-case hex
};

// The torrent when the bytes parse and name one file called fileName; nullopt otherwise, with
// the reason.
std::optional<PackageTorrent> AcceptPackageTorrent(const std::string& bytes,
                                                   const std::string& fileName,
                                                   std::string& reason);

std::string InfoHashHex(const lt::torrent_info& info);

}  // namespace vesk::tsp_service
