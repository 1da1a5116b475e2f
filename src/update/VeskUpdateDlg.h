#pragma once
// The update window (template 102): a borderless, skinned panel that fades in, fetches the
// manifest when it opens, hands the update to its workers, shows the download's progress on
// a 100 ms timer, offers cancelling, and ends the program through the update's endings.
// UI thread only; its workers reach it through the handles of UpdateState.

#include <memory>
#include <string>

#include "GdipButton.h"
#include "TransferTick.h"
#include "UIBitmapSlider.h"
#include "UIButton.h"
#include "UIHMXStatic.h"
#include "UIPictureEx.h"
#include "UpdateMessages.h"
#include "UpdateState.h"
#include "gfx/Bitmap.h"
#include "ui/Dialog.h"
#include "ui/Static.h"

class CVeskUpdateDlg : public vesk::ui::Dialog {
public:
    enum { IDD = 102, IDC_TITLE = 1000, IDC_STATUS = 1001, IDC_CANCEL = 1002, IDC_EXIT = 1003 };
    enum { IDC_PICTURE = 1, IDC_SLIDER = 3 };

    // The four arguments of the updater's command line, or none.
    explicit CVeskUpdateDlg(std::vector<std::wstring> clientArguments);
    ~CVeskUpdateDlg() override;

    const std::shared_ptr<UpdateState>& State() const { return m_state; }
    const std::wstring& ClientParameters() const { return m_clientParameters; }

    bool OnEraseBkgnd(vesk::gfx::Canvas& dc) override;
    void OnPaint(vesk::gfx::Canvas& dc) override;
    int OnNcHitTest(vesk::gfx::Point screen) override;
    void OnCtlColor(vesk::ui::Window& child, vesk::ui::ControlColors& colors) override;
    void OnShowWindow(bool show) override;
    void OnTimer(vesk::ui::WPARAM id) override;
    bool OnCommand(int id, int code) override;
    vesk::ui::LRESULT OnMessage(vesk::ui::UINT message, vesk::ui::WPARAM wParam,
                                vesk::ui::LPARAM lParam) override;

    vesk::ui::Static m_stTitle;
    CUIHMXStatic m_stStatus;
    CUIButton m_btnCancel;
    CGdipButton m_btnExit;
    CUIBitmapSlider m_slider;
    CUIPictureEx m_picture;

protected:
    void DoDataExchange() override;
    bool OnInitDialog() override;
    // Neither Enter nor Escape closes the window.
    void OnOK() override {}
    void OnCancel() override {}

private:
    void SetUpIcon();
    bool LoadBackground();
    void PlaceWindow();
    void SetUpButtons();
    void SetUpLabels();
    void CreatePictureAndSlider();
    void PublishControls();

    // The transfer-progress step of the timer (TransferProgress.cpp).
    void OnTransferTick();
    void OnTickDone();
    void ShowProgress(const TickReport& report);

    // Begins the cancel on the first click of either button.
    void OnCancelClicked();
    void OnRunWorker(vesk::ui::LPARAM mode);

    // The waiting animation of the direct download, asked for by its thread.
    void StartWaitingAnimation();
    void StopWaitingAnimation();

    // The endings (UpdateEndings.cpp).
    void OnUpdateSucceeded();
    void OnUpdateFinish(vesk::ui::LPARAM startClient);
    void OnDownloadFailed(vesk::ui::LPARAM showBox);
    bool EndingTaken();
    void StartClient() const;
    bool ClientExists() const;

    std::shared_ptr<UpdateState> m_state;
    std::wstring m_clientParameters;
    std::wstring m_clientPath;
    std::unique_ptr<vesk::gfx::Bitmap> m_background;
    std::shared_ptr<TickMailbox> m_tickMailbox = std::make_shared<TickMailbox>();
    bool m_tickRunning = false;  // a tick's job has not reported yet
    bool m_ended = false;
};
