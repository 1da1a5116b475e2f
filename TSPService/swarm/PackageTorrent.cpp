#include "PackageTorrent.h"

#include <sstream>

namespace vesk::tsp_service {

std::string InfoHashHex(const lt::torrent_info& info) {
    std::ostringstream hex;
    hex << info.info_hashes().v1;
    return hex.str();
}

std::optional<PackageTorrent> AcceptPackageTorrent(const std::string& bytes,
                                                   const std::string& fileName,
                                                   std::string& reason) {
    if (bytes.empty() || bytes.size() > kTorrentSizeCap) {
        reason = "no torrent";
        return std::nullopt;
    }
    lt::error_code error;
    auto info = std::make_shared<const lt::torrent_info>(
        lt::span<const char>(bytes.data(), static_cast<std::ptrdiff_t>(bytes.size())), error,
        lt::from_span);
    if (error || !info->is_valid()) {
        reason = "torrent unreadable";
        return std::nullopt;
    }
    const lt::file_storage& files = info->files();
    // A single-file torrent's path is its bare name: nothing to climb out of the folder with.
    if (files.num_files() != 1 || files.file_path(lt::file_index_t{0}) != fileName ||
        info->name() != fileName) {
        reason = "torrent for another file";
        return std::nullopt;
    }
    return PackageTorrent{info, InfoHashHex(*info)};
}

}  // namespace vesk::tsp_service
