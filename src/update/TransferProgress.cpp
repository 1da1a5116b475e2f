// The update window's timer while the service downloads: each tick asks for the transfer's
// state, starts the next package when one is complete, and shows the progress.

#include "PackageAcceptance.h"
#include "PackageTransfer.h"
#include "ProgressDisplay.h"
#include "UpdateLog.h"
#include "UpdateTexts.h"
#include "UpdateWindowMessages.h"
#include "UpdateWorker.h"
#include "VeskUpdateDlg.h"
#include "fs/Files.h"
#include "net/InternetConnection.h"
#include "text/Number.h"

using namespace vesk;

void CVeskUpdateDlg::OnTransferTick() {
    // Offline, no further tick comes; this one still runs.
    if (!net::IsInternetConnected()) KillTimer(kTransferTimer);
    const TransferProgress progress = QueryTransferProgress(m_state->TransferId());
    if (progress.failed) {
        KillTimer(kTransferTimer);
        if (const std::wstring id = m_state->TakeTransferId(); !id.empty()) {
            CancelCurrentTransfer(id);
        }
        WriteUpdateLog(L"CVeskUpdateDlg::OnTimer: TSP download error.(file: %s, line: %d)",
                       VESK_WFILE, __LINE__);
        PostMessage(WM_UPDATE_DOWNLOAD_FAILED, 0, 1);
        return;
    }
    if (progress.finished) {
        KillTimer(kTransferTimer);
        OnTransferFinished();
        return;
    }
    ShowProgress(progress.rate, progress.fraction);
}

void CVeskUpdateDlg::OnTransferFinished() {
    UpdateState& state = *m_state;
    const UpdatePackage& done = state.CurrentPackage();
    // What the service delivered is checked as a direct download is, its size first: a
    // package that differs from the manifest is never unpacked.
    if (!AcceptDownloadedPackage(state, done, L",exit.")) {
        PostMessage(WM_UPDATE_DOWNLOAD_FAILED, 0, 1);
        return;
    }
    state.bytesDone += done.size;
    ++state.currentIndex;
    if (state.currentIndex < static_cast<int>(state.packages.size()) - 1) {
        const UpdatePackage& next = state.CurrentPackage();
        RegisterDownloadedPackage(state.LocalPathOf(next));
        if (!DownloadPatcher(state, kTransferTimer, next.url)) {
            PostMessage(WM_UPDATE_DOWNLOAD_FAILED, 0, 1);
        }
        return;
    }
    PostMessage(WM_UPDATE_RUN_WORKER, 0, 1);
}

void CVeskUpdateDlg::ShowProgress(const std::wstring& rate, const std::wstring& fraction) {
    if (!rate.empty()) m_slider.SetTipText(rate, true);
    if (fraction.empty()) return;
    const UpdateState& state = *m_state;
    const std::int64_t current = state.HasCurrentPackage() ? state.CurrentPackage().size : 0;
    const ProgressFigures figures = ComputeProgress(state.totalBytes, current, state.bytesDone,
                                                    text::ParseClassicDouble(fraction));
    m_stStatus.UpdateText(ProgressLine(figures));
    m_slider.SetPosition(figures.position);
}
