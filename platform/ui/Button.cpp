#include "ui/Button.h"

#include "ui/System.h"

namespace vesk::ui {

namespace {

constexpr gfx::ColorRef kFace = 0xE1E1E1;
constexpr gfx::ColorRef kBorder = 0xADADAD;
constexpr gfx::ColorRef kPushedFace = 0xCCCCCC;

}  // namespace

bool Button::OnEraseBkgnd(gfx::Canvas&) {
    return true;
}

void Button::OnPaint(gfx::Canvas& dc) {
    // The colour request comes before every paint; owner-drawn buttons build looks on it.
    ControlColors colors;
    if (Window* parent = GetParent()) parent->OnCtlColor(*this, colors);
    UINT state = 0;
    if (m_pushed) state |= ODS_SELECTED;
    if (!IsWindowEnabled()) state |= ODS_DISABLED;
    if (m_ownerDraw) {
        DrawItem(dc, {GetDlgCtrlID(), state, GetClientRect()});
        return;
    }
    const gfx::Rect r = GetClientRect();
    dc.FillRect(r, gfx::ArgbFromColorRef(kBorder));
    dc.FillRect(r.Deflate(1), gfx::ArgbFromColorRef(m_pushed ? kPushedFace : kFace));
    dc.DrawTextCentered(GetWindowText(), GetFont(), r,
                        gfx::ArgbFromColorRef(IsWindowEnabled() ? colors.text : kGrayText));
}

void Button::DrawItem(gfx::Canvas&, const DrawItemInfo&) {}

void Button::SetPushed(bool pushed) {
    if (m_pushed == pushed) return;
    m_pushed = pushed;
    Invalidate();
}

void Button::OnLButtonDown(gfx::Point) {
    SetCapture();
    m_held = true;
    SetPushed(true);
}

void Button::OnMouseMove(gfx::Point p) {
    if (m_held) SetPushed(GetClientRect().Contains(p));
}

// Disabled or hidden while held: no release will come, so the press ends here.
void Button::OnCaptureChanged() {
    m_held = false;
    SetPushed(false);
}

void Button::OnLButtonUp(gfx::Point p) {
    if (!m_held) return;
    m_held = false;
    ReleaseCapture();
    SetPushed(false);
    // Last, because the parent may destroy the button in its handler.
    if (GetClientRect().Contains(p) && GetParent())
        GetParent()->SendMessage(WM_COMMAND, MakeCommandParam(GetDlgCtrlID(), BN_CLICKED),
                                 static_cast<LPARAM>(GetHwnd()));
}

}  // namespace vesk::ui
