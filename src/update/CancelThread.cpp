// Cancelling by the user: the progress stops, the window says so, a running transfer is
// cancelled, and the window ends without starting the client.

#include "PackageTransfer.h"
#include "TransferService.h"
#include "UpdateTexts.h"
#include "UpdateWindowMessages.h"
#include "UpdateWorker.h"
#include "WorkerThreads.h"
#include "clock/Clock.h"

namespace {

constexpr std::chrono::milliseconds kSettle{200};

}  // namespace

bool StartCancelThread(std::shared_ptr<UpdateState> state) {
    return StartDetachedThread([state = std::move(state)] { CancelThread(state); });
}

void CancelThread(const std::shared_ptr<UpdateState>& state) {
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
    if (IsTransferServiceRunning()) {
        if (const std::wstring id = state->TakeTransferId(); !id.empty()) CancelCurrentTransfer(id);
    }
    controls.window.EndDialog(0);
}
