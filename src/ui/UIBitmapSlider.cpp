#include "UIBitmapSlider.h"

#include "LoadImageViaStream.h"

using namespace vesk;

namespace {

constexpr int kToolId = 1;
constexpr int kMaxTipWidth = 400;
// The fill sits this far right and down from the background's corner.
constexpr int kFillInset = 2;

}  // namespace

CUIBitmapSlider::CUIBitmapSlider() {
    SetNotify(true);
}

CUIBitmapSlider::~CUIBitmapSlider() {
    DestroyWindow();
}

bool CUIBitmapSlider::SetImages(const std::wstring& background, const std::wstring& fill) {
    std::unique_ptr<gfx::Bitmap> back = LoadImageViaStream(background);
    if (!back) return false;
    m_pBackground = std::move(back);
    std::unique_ptr<gfx::Bitmap> front = LoadImageViaStream(fill);
    if (!front) return false;
    m_pFill = std::move(front);
    return true;
}

void CUIBitmapSlider::SetUpperBound(int value, bool redraw) {
    m_nMax = value;
    if (redraw) Invalidate();
}

void CUIBitmapSlider::SetLowerBound(int value, bool redraw) {
    m_nMin = value;
    if (redraw) Invalidate();
}

void CUIBitmapSlider::SetBounds(int lower, int upper, bool redraw) {
    SetLowerBound(lower, false);
    SetUpperBound(upper, redraw);
}

void CUIBitmapSlider::SetPosition(int value) {
    if (value == m_nPos) return;
    m_nPos = value;
    if (m_nPos > m_nMax) m_nPos = m_nMax;
    if (m_nPos < m_nMin) m_nPos = m_nMin;
    Invalidate();
}

// Equal bounds leave no range to fill; the fill then stays empty instead of dividing by zero.
int CUIBitmapSlider::FillWidth() const {
    if (!m_pFill || m_nMax == m_nMin) return 0;
    return static_cast<int>(static_cast<double>(m_pFill->Width()) * (m_nPos - m_nMin) /
                            (m_nMax - m_nMin));
}

void CUIBitmapSlider::OnPaint(gfx::Canvas& dc) {
    if (!m_pBackground || !m_pFill) return;
    dc.DrawImage(*m_pBackground, gfx::Rect{0, 0, m_pBackground->Width(), m_pBackground->Height()});
    const int width = FillWidth();
    if (width > 0)
        dc.DrawImage(*m_pFill,
                     gfx::Rect::FromXywh(kFillInset, kFillInset, width, m_pFill->Height()));
}

void CUIBitmapSlider::MakeToolTip() {
    if (m_toolTip.IsCreated() || !m_toolTip.Create(*this)) return;
    m_toolTip.Activate(true);
    m_toolTip.SetMaxTipWidth(kMaxTipWidth);
}

bool CUIBitmapSlider::SetTipText(const std::wstring& text, bool activate) {
    MakeToolTip();
    if (m_toolTip.GetToolCount() == 0) m_toolTip.AddTool(*this, GetClientRect(), text, kToolId);
    m_toolTip.UpdateTipText(text, *this, kToolId);
    m_toolTip.Activate(activate);
    return true;
}

bool CUIBitmapSlider::ActivateTip(bool activate) {
    if (m_toolTip.GetToolCount() == 0) return false;
    m_toolTip.Activate(activate);
    return true;
}

bool CUIBitmapSlider::PreTranslateMessage(ui::Message& message) {
    MakeToolTip();
    if (m_toolTip.IsCreated()) m_toolTip.RelayEvent(message);
    return Static::PreTranslateMessage(message);
}
