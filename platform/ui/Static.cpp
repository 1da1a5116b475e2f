#include "ui/Static.h"

#include "ui/UiThread.h"

namespace vesk::ui {

void Static::SetAlignment(gfx::TextAlign align) {
    VESK_DCHECK_UI_THREAD(SysOrNull());
    if (m_align == align) return;
    m_align = align;
    Invalidate();
}

// Background and text are both drawn in OnPaint, from one colour request.
bool Static::OnEraseBkgnd(gfx::Canvas&) {
    return true;
}

void Static::OnPaint(gfx::Canvas& dc) {
    ControlColors colors;
    if (Window* parent = GetParent()) parent->OnCtlColor(*this, colors);
    const gfx::Rect r = GetClientRect();
    if (colors.brush != ControlColors::Brush::Hollow)
        dc.FillRect(r, gfx::ArgbFromColorRef(colors.brushColor));
    const gfx::ColorRef text = IsWindowEnabled() ? colors.text : kGrayText;
    dc.DrawStaticText(GetWindowText(), GetFont(), r, m_align, gfx::ArgbFromColorRef(text));
}

int Static::OnNcHitTest(gfx::Point) {
    return m_notify ? HTCLIENT : HTTRANSPARENT;
}

}  // namespace vesk::ui
