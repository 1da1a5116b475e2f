// The update window's timer while the service downloads. A tick never waits: it starts the
// tick's job (TransferTick.h) unless one still runs, and the job's report decides what follows.

#include "TransferTick.h"
#include "UpdateWindowMessages.h"
#include "VeskUpdateDlg.h"

using namespace vesk;

void CVeskUpdateDlg::OnTransferTick() {
    // A tick queued before a cancel's KillTimer, or a timer set again behind it, ends here.
    if (m_state->Cancelling()) {
        KillTimer(kTransferTimer);
        return;
    }
    if (m_tickRunning) return;  // one job at a time; the library may hold it for minutes
    // A job that cannot start now is tried again on the next tick.
    m_tickRunning = StartTransferTick(m_state, m_tickMailbox);
}

void CVeskUpdateDlg::OnTickDone() {
    m_tickRunning = false;
    const std::optional<TickReport> report = m_tickMailbox->Take();
    if (m_state->Cancelling()) {
        KillTimer(kTransferTimer);
        return;
    }
    if (!report) return;
    switch (report->outcome) {
        case TickOutcome::Progress:
            ShowProgress(*report);
            return;
        case TickOutcome::NextStarted:
            return;
        case TickOutcome::AllFetched:
            KillTimer(kTransferTimer);
            PostMessage(WM_UPDATE_RUN_WORKER, 0, 1);
            return;
        case TickOutcome::Failed:
            KillTimer(kTransferTimer);
            PostMessage(WM_UPDATE_DOWNLOAD_FAILED, 0, 1);
            return;
        case TickOutcome::Cancelled:
        default:
            KillTimer(kTransferTimer);
            return;
    }
}

void CVeskUpdateDlg::ShowProgress(const TickReport& report) {
    if (!report.rate.empty()) m_slider.SetTipText(report.rate, true);
    if (!report.figures) return;
    m_stStatus.UpdateText(ProgressLine(*report.figures));
    m_slider.SetPosition(report.figures->position);
}
