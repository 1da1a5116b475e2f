#pragma once
// One package fetched through the transfer service: starting its transfer, following its
// progress, cancelling it. The window's thread, its workers and its cancel thread may call
// these at the same time; the caller keeps the transfer id.

#include <cstdint>
#include <optional>
#include <string>

// Starts a peer-to-peer transfer of url into targetFolder (no final "/"), restarting the
// service or asking again once where the answer calls for it. The transfer id, or nullopt
// with the reason in the log.
std::optional<std::wstring> StartPackageTransfer(const std::wstring& url,
                                                 const std::wstring& targetFolder);

struct TransferProgress {
    bool finished = false;
    bool failed = true;
    std::wstring rate;      // empty when the service gives no rate
    std::wstring fraction;  // empty while the size is unknown
};

// One poll. An empty id, or a service that gave no answer this time, is no failure; a
// library released under a transfer is one.
TransferProgress QueryTransferProgress(const std::wstring& transferId);

// Cancels the transfer and keeps its files, restarting the service or asking again once
// where the answer calls for it. Nothing when the id is empty or no library is bound; the
// caller clears its id.
void CancelCurrentTransfer(const std::wstring& transferId);

// The two texts of a running transfer: "<rate>: 12.3<speed>" from bytes per second, and the
// completed fraction as "0.250000".
std::wstring TransferRateText(std::int32_t bitRate);
std::wstring TransferFractionText(std::int64_t bytesDownloaded, std::int64_t torrentSize);
