// How a run ends: the new version recorded and the client started after a success; the
// client started or not, and the window's loop ended, on every other way out.

#include <utility>

#include "ClientLaunch.h"
#include "UIMessageBox.h"
#include "UpdateLog.h"
#include "UpdateSettings.h"
#include "UpdateTexts.h"
#include "VersionSettings.h"
#include "VeskUpdateDlg.h"
#include "fs/Files.h"
#include "process/ProcessEnd.h"
#include "ui/System.h"

using namespace vesk;

namespace {

constexpr int kSucceededExitCode = 0;

}  // namespace

// The first ending takes the run; a cancel that began is one too, so a worker's message that
// comes behind it changes nothing: no box, no client, nothing recorded.
bool CVeskUpdateDlg::EndingTaken() {
    return std::exchange(m_ended, true) || m_state->Cancelling();
}

void CVeskUpdateDlg::StartClient() const {
    StartClientProgram(m_clientPath, m_clientParameters);
}

bool CVeskUpdateDlg::ClientExists() const {
    return fs::GetAttributes(m_clientPath).has_value();
}

// Ends the process at once: the log is closed first, and no destructor runs under a thread
// that may still be ending.
void CVeskUpdateDlg::OnUpdateSucceeded() {
    if (EndingTaken()) return;
    WriteUpdateLog(L"UPdate success and start VESKClient,exit.");
    if (!m_state->packages.empty() &&
        !WriteInstalledVersion(m_state->programFolder, m_state->packages.back().id)) {
        WriteUpdateLog(L"version.ini cannot be written; the next run updates again.");
    }
    StartClient();
    CloseUpdateLog();
    process::EndProcessNow(kSucceededExitCode);
}

void CVeskUpdateDlg::OnUpdateFinish(ui::LPARAM startClient) {
    if (EndingTaken()) return;
    if (!ClientExists()) WriteUpdateLog(L"VESKClient.exe not exist,exit.");
    if (startClient == 1) {
        WriteUpdateLog(L"Update fail and start VESKClient,exit.");
        StartClient();
    }
    ui::System::PostQuit(0);
}

void CVeskUpdateDlg::OnDownloadFailed(ui::LPARAM showBox) {
    if (EndingTaken()) return;
    WriteUpdateLog(L"download failed,exit.");
    if (showBox == 1) {
        CUIMessageBox box(this, UpdateText(L"IDS_POPDLG_ERROR_UPTFAILED"),
                          UpdateText(L"IDS_POPDLG_ERROR_TITLE"));
        box.DoModal();
    }
    if (ClientExists()) StartClient();
    ui::System::PostQuit(0);
}
