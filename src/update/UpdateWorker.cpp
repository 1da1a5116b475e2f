#include "UpdateWorker.h"

#include <algorithm>

#include "PackageTransfer.h"
#include "PartFiles.h"
#include "TransferService.h"
#include "UpdateLog.h"
#include "UpdateMessages.h"
#include "UpdateSettings.h"
#include "UpdateTexts.h"
#include "UpdateWindowMessages.h"
#include "VersionManifest.h"
#include "WorkerBoxes.h"
#include "WorkerThreads.h"
#include "clock/Clock.h"
#include "fs/Files.h"
#include "text/WideFormat.h"

namespace {

// The free space must exceed this many times the download.
constexpr std::uint64_t kSpaceFactor = 3;

enum class Check { GoOn, Ended };

constexpr wchar_t kManifestRefusedLine[] = L"Manifest refused: %s.";

// The manifest as the installation accepts it: signed by its key when it carries one.
bool AcceptManifest(UpdateState& state) {
    const std::wstring& path = TheUpdateSettings().localManifestPath;
    std::wstring refusal;
    if (!state.updateKey.present) {
        const bool accepted = ParseManifest(path, state.packages, &refusal);
        if (!refusal.empty()) WriteUpdateLog(kManifestRefusedLine, refusal);
        return accepted;
    }
    const bool accepted = ParseSignedManifest(path, state.updateKey, vesk::clock::UtcSecondsNow(),
                                              state.packages, refusal);
    if (!accepted) WriteUpdateLog(kManifestRefusedLine, refusal);
    vesk::fs::DeleteFile(path + kSignatureSuffix);
    return accepted;
}

Check ReadManifest(UpdateState& state) {
    if (!AcceptManifest(state)) {
        WriteUpdateLog(L"Resolve version info failed,exit.");
        ShowErrorBox(state.controls.window, L"IDS_POPDLG_ERROR_UPTFAILED",
                     L"IDS_POPDLG_ERROR_TITLE");
        state.controls.window.Post(WM_UPDATE_FINISH, 0, 0);
        return Check::Ended;
    }
    vesk::fs::DeleteFile(TheUpdateSettings().localManifestPath);
    const PackageSelection selection =
        SelectPackages(state.version.installedVersion, state.packages);
    state.currentIndex = selection.currentIndex;
    state.totalBytes = selection.totalBytes;
    return Check::GoOn;
}

std::wstring NotEnoughSpaceText(std::int64_t totalBytes) {
    const std::wstring kb =
        std::to_wstring(kSpaceFactor *
                        static_cast<std::uint64_t>(std::max<std::int64_t>(totalBytes, 0)) / 1024) +
        L"KB";
    return UpdateText(L"IDS_POPDLG_ERROR_TEXT17_1") + kb +
           UpdateText(L"IDS_POPDLG_ERROR_TEXT17_4") + kb + UpdateText(L"IDS_POPDLG_ERROR_TEXT17_3");
}

// Runs before the version test, also when nothing is to be downloaded. What part files hold
// already is not to come again.
Check CheckDiskSpace(UpdateState& state) {
    const auto& window = state.controls.window;
    const auto free = vesk::fs::FreeDiskBytes(state.programFolder);
    if (!free) {
        if (!vesk::fs::GetAttributes(state.programFolder)) {
            ShowErrorBox(window, L"IDS_POPDLG_ERROR_TEXT16", L"IDS_POPDLG_ERROR_TITLE");
        }
        window.Post(WM_UPDATE_FINISH, 0, 0);
        return Check::Ended;
    }
    const auto total = static_cast<std::uint64_t>(std::max<std::int64_t>(state.totalBytes, 0));
    const std::uint64_t toCome = total - std::min(total, ResumedBytes(state));
    if (*free <= kSpaceFactor * toCome) {
        ShowErrorBoxText(window, NotEnoughSpaceText(static_cast<std::int64_t>(toCome)),
                         UpdateText(L"IDS_POPDLG_ERROR_TITLE2"));
        window.Post(WM_UPDATE_FINISH, 0, 0);
        return Check::Ended;
    }
    return Check::GoOn;
}

// The status line leaves the centre for the progress figures, and the slider shows.
void ShowServiceProgress(const UpdateControls& controls) {
    const auto& client = controls.client;
    controls.status.SetAlignment(vesk::gfx::TextAlign::Left);
    controls.status.Move(
        vesk::gfx::Rect::FromXywh(20, client.Height() / 3, client.Width() - 25, 30));
    controls.window.Invalidate();
    controls.slider.Show(true);
}

void FallBackToDirectDownload(const std::shared_ptr<UpdateState>& state) {
    ShowErrorBox(state->controls.window, L"IDS_POPDLG_ERROR_TSPCONNECTION",
                 L"IDS_POPDLG_ERROR_TITLE");
    state->controls.status.SetText(UpdateText(L"IDS_POPDLG_UPDATE_TEXT6"));
    if (!StartDirectDownloadThread(state))
        state->controls.window.Post(WM_UPDATE_DOWNLOAD_FAILED, 0, 1);
}

// The service first; directly over HTTP when it cannot be started or the first transfer fails.
Check StartDownload(const std::shared_ptr<UpdateState>& state) {
    switch (StartTransferService(state->programFolder, state->partnerName)) {
        case ServiceStart::LibraryMissing:
            ShowErrorBox(state->controls.window, L"IDS_POPDLG_ERROR_TSPLOSE",
                         L"IDS_POPDLG_ERROR_TITLE");
            state->controls.window.Post(WM_UPDATE_FINISH, 0, 0);
            return Check::Ended;
        case ServiceStart::Ready:
            if (DownloadPatcher(*state, kTransferTimer, state->CurrentPackage().url)) {
                ShowServiceProgress(state->controls);
            } else {
                WriteUpdateLog(L"download patcher failed,exit.");
                FallBackToDirectDownload(state);
            }
            return Check::GoOn;
        case ServiceStart::NotReady:
        default:
            FallBackToDirectDownload(state);
            return Check::GoOn;
    }
}

void CheckAndDownload(const std::shared_ptr<UpdateState>& state) {
    if (ReadManifest(*state) == Check::Ended) return;
    DeleteStaleParts(*state);
    if (CheckDiskSpace(*state) == Check::Ended) return;
    if (!state->HasCurrentPackage()) {
        WriteUpdateLog(L"version is correct,exit.");
        state->controls.window.Post(WM_UPDATE_FINISH, 0, 1);
        return;
    }
    state->controls.status.SetText(UpdateText(L"IDS_POPDLG_UPDATE_TEXT3"));
    RegisterDownloadedPackage(state->LocalPathOf(state->CurrentPackage()));
    state->partnerName = ReadPartnerName(state->programFolder);
    if (StartDownload(state) == Check::Ended) return;
    state->controls.exitButton.Show(true);
    state->controls.cancelButton.Show(true);
}

}  // namespace

bool StartUpdateWorkerThread(std::shared_ptr<UpdateState> state, int mode) {
    return StartDetachedThread(
        [state = std::move(state), mode] { UpdateWorkerThread(state, mode); });
}

void UpdateWorkerThread(const std::shared_ptr<UpdateState>& state, int mode) {
    if (mode == 0) {
        CheckAndDownload(state);
    } else if (mode == 1) {
        // Once a cancel began nothing new starts; the cancel is the run's ending.
        if (state->Cancelling()) return;
        if (!StartInstallThread(state))
            state->controls.window.Post(WM_UPDATE_DOWNLOAD_FAILED, 0, 1);
    }
}

bool DownloadPatcher(UpdateState& state, vesk::ui::WPARAM timerId, const std::wstring& source) {
    if (!StartNextTransfer(state, source)) return false;
    state.controls.window.SetTimer(timerId, kTransferPeriod);
    return true;
}

bool StartNextTransfer(UpdateState& state, const std::wstring& source) {
    if (source.empty() || state.Cancelling()) return false;
    const auto id = StartPackageTransfer(source, state.programFolder + L"tmp");
    if (!id || id->empty()) return false;
    state.SetTransferId(*id);
    // The cancel begins before it takes the id: whichever of the two comes second sees the other.
    if (state.Cancelling()) {
        if (const std::wstring taken = state.TakeTransferId(); !taken.empty())
            CancelCurrentTransfer(taken);
        return false;
    }
    return true;
}

void RegisterDownloadedPackage(const std::wstring& localPath) {
    auto& list = TheUpdateSettings().downloadedPackages;
    if (std::find(list.begin(), list.end(), localPath) == list.end()) list.push_back(localPath);
}
