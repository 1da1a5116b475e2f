#include "SkinnedBox.h"

#include "LoadImageViaStream.h"
#include "SkinSource.h"
#include "UIHMXStatic.h"

using namespace vesk;

namespace {

constexpr gfx::ColorRef kBoxColor = 0x333333;
constexpr gfx::ColorRef kTitleColor = 0xACACAC;
constexpr gfx::ColorRef kBodyColor = 0x959595;
constexpr int kTitleHeight = -12;
constexpr int kBodyHeight = -13;
// The background image's edge the window region leaves out.
constexpr int kHiddenEdge = 4;

}  // namespace

CSkinnedBox::CSkinnedBox(ui::DialogTemplate dialogTemplate, ui::Window* parent,
                         const std::wstring& text, const std::wstring& caption,
                         std::wstring_view backgroundImage, int safeDefault)
    : Dialog(std::move(dialogTemplate), parent),
      m_strText(text),
      m_strCaption(caption),
      m_pBackground(LoadImageViaStream(TheSkinSource().ThemePath(backgroundImage))),
      m_safeDefault(safeDefault) {}

CSkinnedBox::~CSkinnedBox() {
    DestroyWindow();
}

gfx::FontSpec CSkinnedBox::BoxFont() {
    return {L"Tahoma", -13, 700, false};
}

void CSkinnedBox::SkinLabels(CUIHMXStatic& title, CUIHMXStatic& body, int exitButtonId) {
    m_exitId = exitButtonId;
    m_titleId = title.GetDlgCtrlID();
    m_bodyId = body.GetDlgCtrlID();
    title.SetForeColor(kTitleColor);
    title.SetBold(true);
    title.SetFaceName(L"Tahoma");
    title.SetCharHeight(kTitleHeight);
    title.UpdateText(m_strCaption);
    // The window carries the title too, so the display's window lists name the box.
    SetWindowText(m_strCaption);
    body.SetForeColor(kBodyColor);
    body.SetFaceName(L"Tahoma");
    body.SetCharHeight(kBodyHeight);
    body.UpdateText(m_strText);
}

// Invisible from here until the fade gives it an opacity.
void CSkinnedBox::ShapeAndHide() {
    SetWindowRegion(GetClientRect().Deflate(kHiddenEdge));
    SetLayered();
}

std::optional<ui::BoxInfo> CSkinnedBox::AsMessageBox() const {
    return ui::BoxInfo{m_strCaption, m_strText, m_safeDefault};
}

int CSkinnedBox::OnNcHitTest(gfx::Point screen) {
    const gfx::Point p = ScreenToClient(screen);
    const gfx::Rect band{0, 0, GetClientRect().right, kDragBand};
    return band.Contains(p) ? ui::HTCAPTION : Dialog::OnNcHitTest(screen);
}

void CSkinnedBox::OnPaint(gfx::Canvas& dc) {
    if (m_pBackground) dc.DrawImage(*m_pBackground, GetClientRect());
}

void CSkinnedBox::OnCtlColor(ui::Window& child, ui::ControlColors& colors) {
    const int id = &child == this ? 0 : child.GetDlgCtrlID();
    if (id != 0 && (id == m_titleId || id == m_bodyId)) {
        colors.text = id == m_titleId ? kTitleColor : kBodyColor;
        colors.transparent = true;
        colors.brush = ui::ControlColors::Brush::Hollow;
        return;
    }
    if (id != 0 && id == m_exitId) {
        Dialog::OnCtlColor(child, colors);  // passed on: the image button builds its looks on it
        return;
    }
    colors.brush = ui::ControlColors::Brush::Solid;
    colors.brushColor = kBoxColor;
    colors.background = kBoxColor;
}

void CSkinnedBox::OnShowWindow(bool show) {
    Dialog::OnShowWindow(show);
    if (show) Fade(kFadeFrom, 255, kFadeStep, kFadeInterval);
}
