#include "VeskUpdateDlg.h"

#include "ClientLaunch.h"
#include "LoadImageViaStream.h"
#include "ManifestFetch.h"
#include "SkinSource.h"
#include "StringTable.h"
#include "UpdateLog.h"
#include "UpdateSettings.h"
#include "UpdateTexts.h"
#include "UpdateWindowMessages.h"
#include "UpdateWorker.h"
#include "WindowMessageSink.h"
#include "ui/System.h"

using namespace vesk;

namespace {

using Kind = ui::DialogItem::Kind;

constexpr gfx::ColorRef kBackgroundColor = 0x333333;
constexpr gfx::ColorRef kLabelColor = 0xACACAC;
gfx::FontSpec TitleFont() {
    return {L"Tahoma", -13, 700, false};
}
gfx::FontSpec DialogFont() {
    return {L"Tahoma", -12, 700, false};
}
// The background image's edge the window region leaves out.
constexpr int kHiddenEdge = 4;
constexpr const wchar_t* kIconImage = L"themes/classic/ico-app.png";
// Between the busy animation and the status line below it.
constexpr int kAnimationGap = 4;
constexpr std::uint8_t kFadeFrom = 1;
constexpr int kFadeStep = 10;
constexpr std::chrono::milliseconds kFadeInterval{15};

ui::DialogTemplate Template() {
    return {245,
            78,
            {},
            {L"MS Shell Dlg", -11, 400, false},
            {
                {CVeskUpdateDlg::IDC_TITLE, Kind::CenteredStatic, {}, {7, 7, 238, 17}},
                {CVeskUpdateDlg::IDC_STATUS, Kind::Static, L"Static", {7, 30, 238, 40}},
                {CVeskUpdateDlg::IDC_CANCEL, Kind::OwnerDrawButton, L"Cancel", {188, 57, 238, 71}},
                {CVeskUpdateDlg::IDC_EXIT, Kind::OwnerDrawButton, {}, {226, 3, 238, 14}},
            }};
}

}  // namespace

CVeskUpdateDlg::CVeskUpdateDlg(std::vector<std::wstring> clientArguments)
    : Dialog(Template()),
      m_state(std::make_shared<UpdateState>()),
      m_clientParameters(::ClientParameters(clientArguments)) {}

CVeskUpdateDlg::~CVeskUpdateDlg() {
    DestroyWindow();
}

void CVeskUpdateDlg::DoDataExchange() {
    Bind(IDC_TITLE, m_stTitle);
    Bind(IDC_STATUS, m_stStatus);
    Bind(IDC_CANCEL, m_btnCancel);
    Bind(IDC_EXIT, m_btnExit);
}

bool CVeskUpdateDlg::OnInitDialog() {
    Dialog::OnInitDialog();
    Sys().SetMainWindow(*this);
    UpdateSettings& settings = TheUpdateSettings();
    m_state->programFolder = settings.programFolder;
    settings.localManifestPath = settings.programFolder + L"tmp/veskversion.xml";
    m_clientPath = ClientPath(settings.programFolder);
    SetUpIcon();
    SetFont(DialogFont());
    SetWindowText(UpdateText(L"IDS_POPDLG_UPDATE_TITLE"));
    m_stTitle.SetWindowText(UpdateText(L"IDS_POPDLG_UPDATE_TITLE"));
    m_stTitle.SetFont(TitleFont());
    m_stStatus.SetWindowText(UpdateText(L"IDS_POPDLG_UPDATE_TEXT5"));
    // Without its picture there is no window to show: the program ends, the client unstarted.
    if (!LoadBackground()) {
        ui::System::PostQuit(0);
        return true;
    }
    PlaceWindow();
    SetUpButtons();
    SetUpLabels();
    m_state->version = ReadVersionSettings(settings.programFolder);
    settings.manifestUrl = m_state->version.manifestUrl;
    SetWindowRegion(GetClientRect().Deflate(kHiddenEdge));
    SetLayered();
    SetAlpha(255);
    CreatePictureAndSlider();
    PublishControls();
    m_state->updateKey = ReadUpdateKey(settings.programFolder);
    StartManifestFetchThread({settings.manifestUrl, settings.localManifestPath,
                              std::make_shared<WindowMessageSink>(m_state->controls.window),
                              m_state->updateKey.present});
    ShowWindow(true);
    return true;
}

// The application's icon comes with the theme; without it the window simply has none.
void CVeskUpdateDlg::SetUpIcon() {
    std::unique_ptr<gfx::Bitmap> icon = LoadImageViaStream(TheSkinSource().ThemePath(kIconImage));
    if (icon && !icon->IsEmpty()) SetIcon(std::move(*icon));
}

bool CVeskUpdateDlg::LoadBackground() {
    m_background = LoadImageViaStream(TheSkinSource().ThemePath(L"themes/classic/bg-update03.png"));
    return m_background && !m_background->IsEmpty();
}

// Centred on the screen at the picture's size.
void CVeskUpdateDlg::PlaceWindow() {
    const gfx::Size screen = Sys().ScreenSize();
    const int width = m_background->Width();
    const int height = m_background->Height();
    MoveWindow(
        gfx::Rect::FromXywh((screen.cx - width) / 2, (screen.cy - height) / 2, width, height));
}

void CVeskUpdateDlg::SetUpButtons() {
    const SkinSource& skin = TheSkinSource();
    const gfx::Rect client = GetClientRect();
    m_btnExit.LoadNormalImage(skin.ThemePath(L"themes/classic/btn_main_exit.png"));
    m_btnExit.MoveWindow(gfx::Rect::FromXywh(client.Width() - 28, 7, 18, 18));
    m_btnExit.SetTipText(UpdateText(L"IDS_POPDLG_UPDATE_EXITTIP"), true);
    m_btnExit.ShowWindow(false);
    m_btnCancel.SetFont(TitleFont());
    m_btnCancel.SetCaption(UpdateText(L"IDS_POPDLG_UPDATE_CANCEL"));
    m_btnCancel.SetImageFile(skin.ThemePath(L"themes/classic/btn_logout_cancel.png"), 0xFF00FF);
    m_btnCancel.MoveWindow(gfx::Rect::FromXywh(client.Width() - 100, client.Height() - 50, 79, 25));
    m_btnCancel.ShowWindow(false);
}

void CVeskUpdateDlg::SetUpLabels() {
    const gfx::Rect client = GetClientRect();
    m_stTitle.MoveWindow(gfx::Rect::FromXywh(55, 10, 300, 20));
    m_stStatus.SetAlignment(gfx::TextAlign::Center);
    m_stStatus.MoveWindow(gfx::Rect::FromXywh(15, client.Height() / 2, client.Width() - 25, 20));
}

void CVeskUpdateDlg::CreatePictureAndSlider() {
    const gfx::Rect client = GetClientRect();
    const int cx = client.Width() / 2;
    const int cy = client.Height() / 2;
    // The animation's 26 x 31 box stands above the status line (which starts at cy), clear
    // of its text.
    const int animationBottom = cy - kAnimationGap;
    m_picture.CreateChild(*this, IDC_PICTURE,
                          {cx - 13, animationBottom - 31, cx + 13, animationBottom});
    const int third = client.Height() / 3;
    m_slider.SetNotify(true);
    m_slider.CreateChild(*this, IDC_SLIDER, {15, third + 20, client.Width() - 15, third + 30});
    const SkinSource& skin = TheSkinSource();
    m_slider.SetImages(skin.ThemePath(L"themes/classic/progress02.png"),
                       skin.ThemePath(L"themes/classic/progress01.png"));
    m_slider.SetBounds(0, 100, false);
    m_slider.SetPosition(0);
    m_slider.ShowWindow(false);
}

// The handles the workers reach the window by; fixed before the first worker starts.
void CVeskUpdateDlg::PublishControls() {
    UpdateControls& controls = m_state->controls;
    controls.window = ui::WindowHandle(*this);
    controls.status = ui::WindowHandle(m_stStatus);
    controls.cancelButton = ui::WindowHandle(m_btnCancel);
    controls.exitButton = ui::WindowHandle(m_btnExit);
    controls.slider = ui::WindowHandle(m_slider);
    controls.client = GetClientRect();
}

bool CVeskUpdateDlg::OnEraseBkgnd(gfx::Canvas&) {
    return true;  // the picture covers everything
}

void CVeskUpdateDlg::OnPaint(gfx::Canvas& dc) {
    if (m_background) dc.DrawImage(*m_background, GetClientRect());
    const gfx::Bitmap* icon = GetIcon();
    if (!IsIconic() || !icon) return;
    // Minimised, the picture shows the icon in its middle.
    const gfx::Rect client = GetClientRect();
    dc.DrawImage(*icon, gfx::Point{(client.Width() - icon->Width() + 1) / 2,
                                   (client.Height() - icon->Height() + 1) / 2});
}

// The whole picture drags the window.
int CVeskUpdateDlg::OnNcHitTest(gfx::Point screen) {
    return GetClientRect().Contains(ScreenToClient(screen)) ? ui::HTCAPTION
                                                            : Dialog::OnNcHitTest(screen);
}

void CVeskUpdateDlg::OnCtlColor(ui::Window& child, ui::ControlColors& colors) {
    const int id = &child == this ? 0 : child.GetDlgCtrlID();
    if (id == IDC_TITLE || id == IDC_STATUS) {
        colors.text = kLabelColor;
        colors.transparent = true;
        colors.brush = ui::ControlColors::Brush::Hollow;
        return;
    }
    if (id == IDC_EXIT) {
        Dialog::OnCtlColor(child, colors);  // passed on: the image button builds its looks on it
        return;
    }
    colors.brush = ui::ControlColors::Brush::Solid;
    colors.brushColor = kBackgroundColor;
    colors.background = kBackgroundColor;
}

void CVeskUpdateDlg::OnShowWindow(bool show) {
    Dialog::OnShowWindow(show);
    if (show) Fade(kFadeFrom, 255, kFadeStep, kFadeInterval);
}

void CVeskUpdateDlg::OnTimer(ui::WPARAM id) {
    if (id == kTransferTimer) OnTransferTick();
    Dialog::OnTimer(id);
}

bool CVeskUpdateDlg::OnCommand(int id, int code) {
    if (code == ui::BN_CLICKED && (id == IDC_CANCEL || id == IDC_EXIT)) {
        OnCancelClicked();
        return true;
    }
    return Dialog::OnCommand(id, code);
}

void CVeskUpdateDlg::OnCancelClicked() {
    WriteUpdateLog(L"Cancel update,exit");
    // One cancel is enough; the buttons are disabled by it soon after.
    if (m_state->Cancelling()) return;
    // From here on nothing new starts, no other ending runs and no tick comes.
    m_state->BeginCancel();
    KillTimer(kTransferTimer);
    // Without its thread the window still ends; only the transfer is left to the service.
    if (!StartCancelThread(m_state)) EndDialog(0);
}

// A worker that cannot start ends the update as a failed download does.
void CVeskUpdateDlg::OnRunWorker(ui::LPARAM mode) {
    if (m_state->Cancelling()) return;
    if (!StartUpdateWorkerThread(m_state, static_cast<int>(mode)))
        PostMessage(WM_UPDATE_DOWNLOAD_FAILED, 0, 1);
}

ui::LRESULT CVeskUpdateDlg::OnMessage(ui::UINT message, ui::WPARAM wParam, ui::LPARAM lParam) {
    switch (message) {
        case WM_UPDATE_RUN_WORKER:
            OnRunWorker(lParam);
            return 0;
        case WM_UPDATE_TICK_DONE:
            OnTickDone();
            return 0;
        case WM_UPDATE_DOWNLOAD_FAILED:
            OnDownloadFailed(lParam);
            return 0;
        case WM_UPDATE_SUCCEEDED:
            OnUpdateSucceeded();
            return 0;
        case WM_UPDATE_FINISH:
            OnUpdateFinish(lParam);
            return 0;
        case WM_UPDATE_ANIMATION_START:
            StartWaitingAnimation();
            return 0;
        case WM_UPDATE_ANIMATION_STOP:
            StopWaitingAnimation();
            return 0;
        default:
            return Dialog::OnMessage(message, wParam, lParam);
    }
}

void CVeskUpdateDlg::StartWaitingAnimation() {
    if (m_state->Cancelling()) return;
    if (m_picture.IsPlaying()) m_picture.Unload();
    if (!m_picture.LoadFromFile(TheSkinSource().ThemePath(L"themes/classic/ico-preload.gif")))
        return;
    m_picture.SetBackgroundColor(0x0F0F0F);
    m_picture.StartDrawing();
}

void CVeskUpdateDlg::StopWaitingAnimation() {
    if (!m_picture.IsPlaying()) return;
    m_picture.Unload();
    Invalidate();
}
