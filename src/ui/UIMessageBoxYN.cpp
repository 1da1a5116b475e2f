#include "UIMessageBoxYN.h"

#include "SkinSource.h"

using namespace vesk;

namespace {

using Kind = ui::DialogItem::Kind;
constexpr int kGerman = 2;

ui::DialogTemplate Template() {
    return {271,
            90,
            {},
            {L"MS Shell Dlg", -11, 400, false},
            {
                {CUIMessageBoxYN::IDC_OK, Kind::OwnerDrawButton, {}, {27, 73, 77, 87}},
                {CUIMessageBoxYN::IDC_CANCEL, Kind::OwnerDrawButton, {}, {103, 73, 153, 87}},
                {CUIMessageBoxYN::IDC_TITLE, Kind::CenteredStatic, {}, {2, 6, 269, 17}},
                {CUIMessageBoxYN::IDC_TEXT, Kind::CenteredStatic, {}, {8, 23, 258, 65}},
                {CUIMessageBoxYN::IDC_CLOSE, Kind::OwnerDrawButton, {}, {221, 0, 271, 14}},
            }};
}

}  // namespace

CUIMessageBoxYN::CUIMessageBoxYN(ui::Window* parent, const std::wstring& text,
                                 const std::wstring& caption)
    : CSkinnedBox(Template(), parent, text, caption, L"themes/classic/bg_logout.png",
                  ui::IDCANCEL) {}

void CUIMessageBoxYN::DoDataExchange() {
    Bind(IDC_CANCEL, m_btnCancel);
    Bind(IDC_OK, m_btnOK);
    Bind(IDC_CLOSE, m_btnClose);
    Bind(IDC_TITLE, m_stTitle);
    Bind(IDC_TEXT, m_stText);
}

bool CUIMessageBoxYN::OnInitDialog() {
    Dialog::OnInitDialog();
    const SkinSource& skin = TheSkinSource();
    m_btnClose.LoadNormalImage(skin.ThemePath(L"themes/classic/btn_main_exit.png"));
    m_btnClose.SetTipText(skin.Text(L"IDS_POPDLG_RETRY_EXIT"), true);
    m_btnClose.MoveWindow(gfx::Rect::FromXywh(382, 8, 18, 18));
    m_btnCancel.SetFont(BoxFont());
    m_btnCancel.SetCaption(skin.Text(L"IDS_POPDLG_RETRY_CANCEL"));
    m_btnOK.SetFont(BoxFont());
    m_btnOK.SetCaption(skin.Text(L"IDS_POPDLG_RETRY_OK"));
    const std::wstring shortStrip = skin.ThemePath(L"themes/classic/btn_logout_cancel.png");
    if (skin.language == kGerman) {
        m_btnCancel.SetImageFile(shortStrip, 0xFF00FF);
        m_btnOK.SetImageFile(skin.ThemePath(L"themes/classic/btn_logout_cancel_long.png"),
                             0xFF00FF);
        m_btnOK.MoveWindow(gfx::Rect::FromXywh(83, 110, 150, 25));
        m_btnCancel.MoveWindow(gfx::Rect::FromXywh(243, 110, 79, 25));
    } else {
        m_btnCancel.SetImageFile(shortStrip, 0xFF00FF);
        m_btnOK.SetImageFile(shortStrip, 0xFF00FF);
        m_btnOK.MoveWindow(gfx::Rect::FromXywh(115, 110, 83, 25));
        m_btnCancel.MoveWindow(gfx::Rect::FromXywh(205, 110, 79, 25));
    }
    SkinLabels(m_stTitle, m_stText, IDC_CLOSE);
    ShapeAndHide();
    return true;
}

bool CUIMessageBoxYN::OnCommand(int id, int code) {
    if (code == ui::BN_CLICKED) {
        switch (id) {
            case IDC_OK:
                EndDialog(ui::IDOK);
                return true;
            case IDC_CANCEL:
            case IDC_CLOSE:
                EndDialog(ui::IDCANCEL);
                return true;
            default:
                break;
        }
    }
    return Dialog::OnCommand(id, code);
}
