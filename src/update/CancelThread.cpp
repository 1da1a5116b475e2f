// Cancelling by the user: the progress stops, the window says so, a running transfer is
// cancelled, a running install finishes its package, and the window ends without starting the
// client; within a second whatever the library is doing.

#include <memory>

#include "InstallStop.h"
#include "PackageTransfer.h"
#include "TransferService.h"
#include "UpdateTexts.h"
#include "UpdateWindowMessages.h"
#include "UpdateWorker.h"
#include "WorkerThreads.h"
#include "clock/Clock.h"
#include "clock/StopSignal.h"

namespace {

constexpr std::chrono::milliseconds kSettle{200};
// How long the window waits for the transfer's cancel: the library's recovery may hold any
// call for minutes while it restarts the service.
constexpr std::chrono::milliseconds kTransferCancelWait{600};
// An install finishes the package it is on before the program may end; this bounds a hung one.
constexpr std::chrono::minutes kInstallStopWait{5};

// Cancels the transfer on a thread of its own; the signal says when that is done.
void CancelTransferAside(const std::shared_ptr<UpdateState>& state,
                         const std::shared_ptr<vesk::clock::StopSignal>& done) {
    const bool started = StartDetachedThread([state, done] {
        if (IsTransferServiceRunning()) {
            if (const std::wstring id = state->TakeTransferId(); !id.empty())
                CancelCurrentTransfer(id);
        }
        done->RequestStop();
    });
    if (!started) done->RequestStop();
}

}  // namespace

bool StartCancelThread(std::shared_ptr<UpdateState> state) {
    return StartDetachedThread([state = std::move(state)] { CancelThread(state); });
}

void CancelThread(const std::shared_ptr<UpdateState>& state) {
    state->BeginCancel();
    const UpdateControls& controls = state->controls;
    controls.window.KillTimer(kTransferTimer);
    vesk::clock::Sleep(kSettle);
    controls.exitButton.Show(false);
    controls.cancelButton.Show(false);
    controls.slider.Show(false);
    controls.status.SetAlignment(vesk::gfx::TextAlign::Center);
    controls.status.Move(vesk::gfx::Rect::FromXywh(15, controls.client.Height() / 2,
                                                   controls.client.Width() - 25, 20));
    controls.status.SetText(UpdateText(L"IDS_POPDLG_UPDATE_TEXT4"));
    controls.exitButton.Enable(false);
    controls.cancelButton.Enable(false);
    const auto done = std::make_shared<vesk::clock::StopSignal>();
    CancelTransferAside(state, done);
    done->WaitFor(kTransferCancelWait);
    WaitForInstallToStop(kInstallStopWait);
    controls.window.EndDialog(0);
}
