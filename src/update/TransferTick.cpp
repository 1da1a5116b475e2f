#include "TransferTick.h"

#include <utility>

#include "PackageAcceptance.h"
#include "PackageTransfer.h"
#include "UpdateLog.h"
#include "UpdateWindowMessages.h"
#include "UpdateWorker.h"
#include "WorkerThreads.h"
#include "fs/Files.h"
#include "text/Number.h"

namespace {

constexpr wchar_t kTransferErrorLine[] =
    L"CVeskUpdateDlg::OnTimer: TSP download error.(file: %s, line: %d)";

TickReport Report(TickOutcome outcome) {
    TickReport report;
    report.outcome = outcome;
    return report;
}

// The next package's transfer, started while the one just delivered is being checked; false
// when it could not be started (or a cancel came first).
bool StartFollowing(UpdateState& state, std::size_t next) {
    if (state.Cancelling()) return false;
    const UpdatePackage& package = state.packages[next];
    RegisterDownloadedPackage(state.LocalPathOf(package));
    return StartNextTransfer(state, package.url);
}

// What the service delivered is checked as a direct download is, its size first: a package
// that differs from the manifest is never unpacked. The service fetches the next package
// meanwhile; a package that fails takes that transfer down with it.
TickReport OnTransferComplete(UpdateState& state) {
    const UpdatePackage& done = state.CurrentPackage();
    const auto next = static_cast<std::size_t>(state.currentIndex) + 1;
    const bool last = next >= state.packages.size() - 1;
    const bool started = !last && StartFollowing(state, next);
    if (!AcceptDownloadedPackage(state, done, L",exit.")) {
        // The service keeps what a cancelled transfer fetched; a whole package is not kept.
        if (started) {
            if (const std::wstring id = state.TakeTransferId(); !id.empty())
                CancelCurrentTransfer(id);
            vesk::fs::DeleteFile(state.LocalPathOf(state.packages[next]));
        }
        return Report(TickOutcome::Failed);
    }
    state.bytesDone += done.size;
    ++state.currentIndex;
    if (last) return Report(TickOutcome::AllFetched);
    if (started) return Report(TickOutcome::NextStarted);
    return Report(state.Cancelling() ? TickOutcome::Cancelled : TickOutcome::Failed);
}

TickReport ProgressReport(const UpdateState& state, const TransferProgress& progress) {
    TickReport report;
    report.rate = progress.rate;
    if (!progress.fraction.empty()) {
        const std::int64_t current = state.HasCurrentPackage() ? state.CurrentPackage().size : 0;
        report.figures = ComputeProgress(state.totalBytes, current, state.bytesDone,
                                         vesk::text::ParseClassicDouble(progress.fraction));
    }
    return report;
}

}  // namespace

void TickMailbox::Put(TickReport report) {
    std::lock_guard lock(m_mutex);
    m_report = std::move(report);
}

std::optional<TickReport> TickMailbox::Take() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_report, std::nullopt);
}

TickReport RunTransferTick(UpdateState& state) {
    if (state.Cancelling()) return Report(TickOutcome::Cancelled);
    // Offline, the local service is still asked: the download goes on once the connection
    // returns, and the window never waits for a tick that no longer comes.
    const TransferProgress progress = QueryTransferProgress(state.TransferId());
    if (state.Cancelling()) return Report(TickOutcome::Cancelled);
    if (progress.failed) {
        if (const std::wstring id = state.TakeTransferId(); !id.empty()) CancelCurrentTransfer(id);
        WriteUpdateLog(kTransferErrorLine, VESK_WFILE, __LINE__);
        return Report(TickOutcome::Failed);
    }
    if (progress.finished) return OnTransferComplete(state);
    return ProgressReport(state, progress);
}

bool StartTransferTick(std::shared_ptr<UpdateState> state, std::shared_ptr<TickMailbox> mailbox) {
    return StartDetachedThread([state = std::move(state), mailbox = std::move(mailbox)] {
        mailbox->Put(RunTransferTick(*state));
        state->controls.window.Post(WM_UPDATE_TICK_DONE);
    });
}
