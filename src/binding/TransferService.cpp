#include "TransferService.h"

#include "TransferBinding.h"
#include "TransferEntries.h"
#include "UpdateLog.h"
#include "process/Processes.h"
#include "text/Case.h"

namespace {

constexpr wchar_t kServiceProcessName[] = L"TSP.exe";
constexpr wchar_t kStartFailedLine[] = L"Start TSP failed,exit.";
constexpr wchar_t kRestartFailedLine[] = L"TSP restart failed,exit.";
constexpr int kAttempts = 3;

// Up to three tries of a start-up step; one counts only with true and code 0.
template <class Step>
bool SucceedsWithinAttempts(Step step) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        int code = kServiceOk;
        if (step(&code) && code == kServiceOk) return true;
    }
    return false;
}

}  // namespace

ServiceStart StartTransferService(const std::wstring& programFolder,
                                  const std::wstring& partnerName) {
    if (!IsTransferLibraryBound() && !BindTransferLibrary(programFolder + kTransferLibraryFile))
        return ServiceStart::LibraryMissing;
    const BoundEntries library;
    if (!library) return ServiceStart::LibraryMissing;  // released since
    if (!SucceedsWithinAttempts(
            [&](int* code) { return library->startService(code, partnerName); })) {
        WriteUpdateLog(kStartFailedLine);
        return ServiceStart::NotReady;
    }
    if (library->isLoggedIn()) return ServiceStart::Ready;
    if (SucceedsWithinAttempts([&](int* code) { return library->restartService(code); }))
        return ServiceStart::Ready;
    WriteUpdateLog(kRestartFailedLine);
    return ServiceStart::NotReady;
}

bool IsTransferServiceName(std::wstring_view processName) {
    return vesk::text::EqualsNoCase(processName, kServiceProcessName);
}

bool IsTransferServiceRunning() {
    for (const auto& process : vesk::process::SnapshotProcesses()) {
        if (IsTransferServiceName(process.name)) return true;
    }
    return false;
}
