#include "PackageTransfer.h"

#include <algorithm>
#include <memory>

#include "Recovery.h"
#include "StringTable.h"
#include "TransferEntries.h"
#include "UpdateLog.h"
#include "text/WideFormat.h"

namespace {

constexpr wchar_t kStartFailedLine[] =
    L"CVeskUpdateDlg::DownloadPatcher: g_TSP_StartTransfer failed.(file: %s, line: %d)";
constexpr wchar_t kRestartFailedLine[] =
    L"CVeskUpdateDlg::DownloadPatcher: g_TSP_CheckAndReStartTSP failed.(file: %s, line: %d)";
constexpr wchar_t kRateKey[] = L"IDS_GAMELIST_RATE";
constexpr wchar_t kSpeedKey[] = L"IDS_GAMELIST_SPEED";
constexpr wchar_t kRateFormat[] = L"%s: %2.1f%s";
constexpr wchar_t kFractionFormat[] = L"%f";

constexpr std::int32_t kRunningStates[] = {202, 204, 205};
constexpr std::int32_t kCompleteState = 206;
constexpr bool kPeerToPeer = true;
constexpr bool kDeleteFiles = false;

// Records come from the library's heap, which is ours too; each is freed on every path.
using TransferRecord = std::unique_ptr<TransferStatus>;
using CancelRecord = std::unique_ptr<ServiceStatus>;

bool IsRunning(std::int32_t statusId) {
    return std::ranges::find(kRunningStates, statusId) != std::end(kRunningStates);
}

}  // namespace

std::optional<std::wstring> StartPackageTransfer(const std::wstring& url,
                                                 const std::wstring& targetFolder) {
    const BoundEntries library;
    int code = kServiceOk;
    const auto start = [&] {
        code = kServiceOk;
        return TransferRecord(library->startTransfer(&code, url, targetFolder, kPeerToPeer));
    };
    TransferRecord record = library ? start() : nullptr;
    if (!record) {
        WriteUpdateLog(kStartFailedLine, VESK_WFILE, __LINE__);
        return std::nullopt;
    }
    switch (RecoveryFor(code, record.get())) {
        case Recovery::kRestart: {
            int restartCode = kServiceOk;
            if (!library->restartService(&restartCode)) {
                WriteUpdateLog(kRestartFailedLine, VESK_WFILE, __LINE__);
                return std::nullopt;
            }
            record = start();
            break;
        }
        case Recovery::kRepeat:
            record = start();
            break;
        case Recovery::kNone:
            break;
    }
    if (!record || code != kServiceOk || record->torrentId.empty()) {
        WriteUpdateLog(kRestartFailedLine, VESK_WFILE, __LINE__);
        return std::nullopt;
    }
    return record->torrentId;
}

TransferProgress QueryTransferProgress(const std::wstring& transferId) {
    TransferProgress progress;
    if (transferId.empty()) {
        progress.failed = false;
        return progress;
    }
    const BoundEntries library;
    if (!library) return progress;
    int code = kServiceOk;
    const TransferRecord record(library->statusTransfer(&code, transferId));
    if (!record) {
        progress.failed = false;  // the next tick asks again
        return progress;
    }
    if (code != kServiceOk || (record->statusId != kCompleteState && !IsRunning(record->statusId)))
        return progress;
    progress.failed = false;
    if (record->statusId == kCompleteState) {
        progress.finished = true;  // whatever the counts say
        return progress;
    }
    progress.rate = TransferRateText(record->bitRate);
    progress.fraction = TransferFractionText(record->bytesDownloaded, record->torrentSize);
    return progress;
}

void CancelCurrentTransfer(const std::wstring& transferId) {
    if (transferId.empty()) return;
    const BoundEntries library;
    if (!library) return;
    int code = kServiceOk;
    const auto cancel = [&] {
        code = kServiceOk;
        return CancelRecord(library->cancelTransfer(&code, transferId, kDeleteFiles));
    };
    const CancelRecord record = cancel();
    switch (RecoveryFor(code, record.get())) {
        case Recovery::kRestart: {
            int restartCode = kServiceOk;
            if (library->restartService(&restartCode)) cancel();
            break;
        }
        case Recovery::kRepeat:
            cancel();
            break;
        case Recovery::kNone:
            break;
    }
}

std::wstring TransferRateText(std::int32_t bitRate) {
    if (bitRate < 0) return {};
    const CStringTable& texts = TheStringTable();
    // In floating point: eight times a large rate does not fit an int.
    const double kilobits = static_cast<double>(bitRate) * 8 / 1024;
    return vesk::text::FormatWide(kRateFormat, texts.GetString(kRateKey), kilobits,
                                  texts.GetString(kSpeedKey));
}

std::wstring TransferFractionText(std::int64_t bytesDownloaded, std::int64_t torrentSize) {
    if (torrentSize <= 0) return {};
    const double fraction = static_cast<double>(bytesDownloaded) / static_cast<double>(torrentSize);
    return vesk::text::FormatWide(kFractionFormat, static_cast<float>(fraction));
}
