#include "UIMessageBox.h"

#include "SkinSource.h"

using namespace vesk;

namespace {

using Kind = ui::DialogItem::Kind;

ui::DialogTemplate Template() {
    return {262,
            117,
            {},
            {L"MS Shell Dlg", -11, 400, false},
            {
                {CUIMessageBox::IDC_TITLE, Kind::CenteredStatic, {}, {98, 6, 160, 17}},
                {CUIMessageBox::IDC_TEXT, Kind::CenteredStatic, {}, {28, 32, 229, 85}},
                {CUIMessageBox::IDC_CLOSE, Kind::OwnerDrawButton, {}, {244, 5, 255, 17}},
                {CUIMessageBox::IDC_MIN, Kind::OwnerDrawButton, {}, {228, 5, 239, 17}, false},
                {CUIMessageBox::IDC_CLOSE_TEXT, Kind::OwnerDrawButton, {}, {106, 93, 156, 107}},
            }};
}

}  // namespace

CUIMessageBox::CUIMessageBox(ui::Window* parent, const std::wstring& text,
                             const std::wstring& caption)
    : CSkinnedBox(Template(), parent, text, caption, L"themes/classic/bg-error.png", ui::IDOK) {}

void CUIMessageBox::DoDataExchange() {
    Bind(IDC_CLOSE_TEXT, m_btnCloseText);
    Bind(IDC_CLOSE, m_btnClose);
    Bind(IDC_MIN, m_btnMin);
    Bind(IDC_TITLE, m_stTitle);
    Bind(IDC_TEXT, m_stText);
}

bool CUIMessageBox::OnInitDialog() {
    Dialog::OnInitDialog();
    const SkinSource& skin = TheSkinSource();
    const gfx::Rect client = GetClientRect();
    m_btnClose.LoadNormalImage(skin.ThemePath(L"themes/classic/btn_main_exit.png"));
    m_btnClose.SetTipText(skin.Text(L"IDS_POPDLG_ERROR_EXIT"), true);
    m_btnMin.SetImageFile(skin.ThemePath(L"themes/classic/btn_main_min.png"), 0xFF00FF);
    m_btnMin.SetTipText(skin.Text(L"IDS_POPDLG_ERROR_MIN"));
    m_btnCloseText.SetFont(BoxFont());
    m_btnCloseText.SetCaption(skin.Text(L"IDS_POPDLG_ERROR_CLOSE"));
    m_btnCloseText.SetImageFile(skin.ThemePath(L"themes/classic/btn_logout_cancel.png"), 0xFF00FF);
    m_btnCloseText.MoveWindow(
        gfx::Rect::FromXywh(client.Width() / 2 - 36, client.Height() - 40, 79, 25));
    SkinLabels(m_stTitle, m_stText, IDC_CLOSE);
    ShapeAndHide();
    return true;
}

bool CUIMessageBox::OnCommand(int id, int code) {
    if (code == ui::BN_CLICKED) {
        switch (id) {
            case IDC_CLOSE_TEXT:
            case IDC_CLOSE:
                OnOK();
                return true;
            case IDC_MIN:
                MinimizeWindow();
                return true;
            default:
                break;
        }
    }
    return Dialog::OnCommand(id, code);
}
