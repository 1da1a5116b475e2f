#pragma once
// The work of one tick of the transfer-progress timer, done off the UI thread: it may wait on
// the library (whose recovery can restart the service) and on a package's digest. The job
// leaves its report in a mailbox the window shares and posts WM_UPDATE_TICK_DONE by handle,
// so a report for a window that has gone is simply never read.

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "ProgressDisplay.h"
#include "UpdateState.h"

enum class TickOutcome {
    Progress,     // still running: show the figures
    NextStarted,  // a package came in and the next one's transfer runs
    AllFetched,   // every package came in: the install follows
    Failed,       // the transfer failed, or the next one could not start
    Cancelled,    // a cancel began meanwhile: nothing more is done
};

struct TickReport {
    TickOutcome outcome = TickOutcome::Progress;
    std::wstring rate;                       // empty when the service gave none
    std::optional<ProgressFigures> figures;  // while the size is known
};

// The last report, handed from the job to the window. Safe from any thread.
class TickMailbox {
public:
    void Put(TickReport report);
    std::optional<TickReport> Take();

private:
    std::mutex m_mutex;
    std::optional<TickReport> m_report;
};

// One tick's work: polls the transfer and, when it is complete, checks the package and starts
// the next transfer. Any thread but the UI thread.
TickReport RunTransferTick(UpdateState& state);

// Runs RunTransferTick on a thread of its own; false when none could be made.
bool StartTransferTick(std::shared_ptr<UpdateState> state, std::shared_ptr<TickMailbox> mailbox);
