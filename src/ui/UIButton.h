#pragma once
// The labelled image button (cancel, close, OK, minimise): one frame of a two-frame strip,
// normal above and hover below, with a centred caption over it. A strip at most 40 pixels high
// is one frame shown in every state. Locked, it neither presses nor shows its hover frame.
// A click reaches the parent as WM_COMMAND with BN_CLICKED. UI thread only.

#include <memory>
#include <string>

#include "gfx/Bitmap.h"
#include "ui/Button.h"
#include "ui/ToolTip.h"

class CUIButton : public vesk::ui::Button {
public:
    CUIButton();
    ~CUIButton() override;

    // The key colour has no effect on drawing. A file that cannot be opened changes nothing;
    // otherwise the button takes the image's size at its top-left corner.
    void SetImageFile(const std::wstring& path, std::uint32_t keyColor = 0xFF00FF);
    void SetCaption(const std::wstring& caption) { m_caption = caption; }
    void SetCaptionColor(std::uint32_t rgb) { m_captionColor = rgb; }
    void SetTipText(const std::wstring& text);
    void SetCustomCursor(vesk::ui::Cursor cursor);
    void Lock();
    void Unlock();

    bool IsLocked() const { return m_bLocked; }
    bool IsHovering() const { return m_bHovering; }
    const vesk::gfx::Bitmap* Image() const { return m_pImage.get(); }
    vesk::ui::ToolTip& GetToolTip() { return m_toolTip; }

    bool PreTranslateMessage(vesk::ui::Message& message) override;
    void OnMouseMove(vesk::gfx::Point p) override;
    void OnLButtonDown(vesk::gfx::Point p) override;
    bool OnSetCursor() override;
    void OnMouseHover(vesk::gfx::Point p) override;
    void OnMouseLeave() override;
    void OnDestroy() override;

protected:
    void DrawItem(vesk::gfx::Canvas& dc, const vesk::ui::DrawItemInfo& item) override;

private:
    std::unique_ptr<vesk::gfx::Bitmap> m_pImage;
    bool m_bLocked = false;
    vesk::gfx::Rect m_rcImage;
    bool m_bTracking = false;
    bool m_bHovering = false;
    vesk::ui::ToolTip m_toolTip;
    bool m_bCustomCursor = false;
    vesk::ui::Cursor m_cursor = vesk::ui::Cursor::Arrow;
    bool m_bHandCursor = true;
    std::wstring m_caption;
    std::uint32_t m_captionColor = 0x1F1F1F;
};
