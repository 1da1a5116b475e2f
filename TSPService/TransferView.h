#pragma once
// What the service reports of one transfer, whichever way it downloads.

#include <cstdint>
#include <filesystem>
#include <string>

namespace vesk::tsp_service {

// Status ids the service reports for a transfer.
inline constexpr int kStatusStarting = 202;
inline constexpr int kStatusDownloading = 204;
inline constexpr int kStatusPaused = 205;
inline constexpr int kStatusComplete = 206;
inline constexpr int kStatusFailed = 501;

struct TransferView {
    std::string torrentId;
    std::string url;
    std::string fileName;
    std::filesystem::path destDir;
    int statusId = kStatusStarting;
    std::string statusStr;
    std::int64_t bytesDownloaded = 0;
    std::int64_t torrentSize = 0;
    int bitRate = 0;  // bytes per second; -1 while paused
    bool p2p = true;
    std::int64_t bytesFromServer = 0;
    std::int64_t bytesFromPeers = 0;
};

}  // namespace vesk::tsp_service
