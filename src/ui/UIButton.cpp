#include "UIButton.h"

#include "DrawCenteredCaption.h"
#include "LoadImageViaStream.h"
#include "ui/System.h"

using namespace vesk;

namespace {

constexpr std::chrono::milliseconds kHoverTime{1};
// Up to this height an image is one frame; above it, two frames stacked.
constexpr int kSingleFrameHeight = 40;
constexpr int kToolId = 0;

}  // namespace

CUIButton::CUIButton() {
    SetOwnerDraw(true);
    SetClassCursor(ui::Cursor::Hand);
}

// The window and its tooltip go while the image and the caption still exist.
CUIButton::~CUIButton() {
    DestroyWindow();
}

void CUIButton::SetImageFile(const std::wstring& path, std::uint32_t) {
    std::unique_ptr<gfx::Bitmap> image = LoadImageViaStream(path);
    if (!image) return;
    m_pImage = std::move(image);
    m_rcImage = {0, 0, m_pImage->Width(), m_pImage->Height()};
    const gfx::Rect at = GetWindowRect();
    MoveWindow(gfx::Rect::FromXywh(at.left, at.top, m_pImage->Width(), m_pImage->Height()));
    Invalidate();
}

void CUIButton::SetTipText(const std::wstring& text) {
    if (!m_toolTip.IsCreated()) {
        if (!m_toolTip.Create(*this)) return;
    }
    m_toolTip.Activate(true);
    // A second text replaces the first instead of hiding behind it.
    if (m_toolTip.GetToolCount() == 0)
        m_toolTip.AddTool(*this, GetClientRect(), text, kToolId);
    else
        m_toolTip.UpdateTipText(text, *this, kToolId);
}

void CUIButton::SetCustomCursor(ui::Cursor cursor) {
    m_bCustomCursor = true;
    m_cursor = cursor;
}

void CUIButton::Lock() {
    m_bLocked = true;
    Invalidate();
}

void CUIButton::Unlock() {
    m_bLocked = false;
    Invalidate();
}

void CUIButton::DrawItem(gfx::Canvas& dc, const ui::DrawItemInfo& item) {
    if (m_pImage) {
        const int height = m_pImage->Height();
        if (height <= kSingleFrameHeight) {
            dc.DrawImage(*m_pImage, gfx::Point{0, 0});
        } else {
            const int frame = height / 2;
            int top = 0;
            if (m_bLocked || (item.itemState & ui::ODS_SELECTED))
                top = 0;
            else if (m_bHovering)
                top = frame;
            dc.DrawImagePart(*m_pImage, {0, top, m_pImage->Width(), top + frame}, {0, 0});
        }
    }
    if (!m_caption.empty()) DrawCenteredCaption(*this, dc, m_caption, m_captionColor);
}

bool CUIButton::PreTranslateMessage(ui::Message& message) {
    if (m_toolTip.IsCreated()) m_toolTip.RelayEvent(message);
    return Button::PreTranslateMessage(message);
}

void CUIButton::OnMouseMove(gfx::Point p) {
    if (!m_bTracking) m_bTracking = TrackMouseEvent(kHoverTime);
    if (m_bHandCursor) {
        SetFocus();
        Sys().SetCursor(ui::Cursor::Hand);
    }
    Button::OnMouseMove(p);
}

void CUIButton::OnLButtonDown(gfx::Point p) {
    if (m_bLocked) return;
    Button::OnLButtonDown(p);
}

bool CUIButton::OnSetCursor() {
    if (!m_bCustomCursor) return Button::OnSetCursor();
    Sys().SetCursor(m_cursor);
    return true;
}

void CUIButton::OnMouseHover(gfx::Point) {
    m_bHovering = true;
    Invalidate();
}

void CUIButton::OnMouseLeave() {
    m_bTracking = false;
    m_bHovering = false;
    if (m_bHandCursor) Sys().SetCursor(ui::Cursor::Arrow);
    Invalidate();
}

void CUIButton::OnDestroy() {
    m_bTracking = false;
    m_bHovering = false;
}
