#pragma once
// The text label of the skinned windows: a static control with its own font, text and
// background colours, a transparent mode (text straight over the parent's image), a tooltip,
// an optional hyperlink, and a text update that repaints only when the text changes.
// UI thread only; workers change its text and alignment through WindowHandle.

#include <string>

#include "gfx/Color.h"
#include "ui/Static.h"
#include "ui/ToolTip.h"

// A font as the label describes it: the fields of a logical font it uses.
struct LogFont {
    int height = 0;  // negative: character height in pixels
    int width = 0;
    int escapement = 0;  // tenths of a degree
    int orientation = 0;
    int weight = 0;  // 0 or 400 normal, 700 bold
    bool italic = false;
    int charSet = 0;
    std::wstring faceName;  // at most kMaxFaceName characters are kept
};

class CUIHMXStatic : public vesk::ui::Static {
public:
    static constexpr std::size_t kMaxFaceName = 31;
    // Characters UpdateText reads back; a longer text never compares equal.
    static constexpr std::size_t kTextBuffer = 260;

    CUIHMXStatic();
    ~CUIHMXStatic() override;

    bool SetForeColor(vesk::gfx::ColorRef color);
    vesk::gfx::ColorRef GetForeColor() const { return m_crText; }
    bool SetBackColor(vesk::gfx::ColorRef color);
    vesk::gfx::ColorRef GetBackColor() const { return m_crBack; }
    bool SetTransparentMode(bool transparent);
    bool IsTransparentMode() const { return m_bTransparent; }

    bool SetLogFont(const LogFont& font);
    bool GetLogFont(LogFont& font) const;
    bool SetFontSpec(int pointSize, bool bold, bool italic, const std::wstring& face);
    bool SetBold(bool bold);
    bool SetItalic(bool italic);
    bool SetCharHeight(int height);
    bool SetFaceName(const std::wstring& face);
    bool SetRotation(int degrees);

    // Sets the text only when it differs from the shown one, so an unchanged line costs no
    // repaint.
    bool UpdateText(const std::wstring& text);

    bool SetTipText(const std::wstring& text, bool activate);
    bool ActivateTip(bool activate);
    void SetHyperlink(bool hyperlink, const std::wstring& target, const std::wstring& parameters);

    bool PreTranslateMessage(vesk::ui::Message& message) override;
    void OnReflectedCtlColor(vesk::ui::ControlColors& colors) override;
    void OnLButtonDown(vesk::gfx::Point p) override;
    void OnMouseMove(vesk::gfx::Point p) override;
    void OnMouseLeave() override;

private:
    void MakeToolTip();

    vesk::ui::ToolTip m_toolTip;
    LogFont m_font;
    bool m_bOwnFont = false;
    vesk::gfx::ColorRef m_crText;
    vesk::gfx::ColorRef m_crBack;
    bool m_bTransparent = true;
    bool m_bHyperlink = false;
    std::wstring m_linkTarget;
    std::wstring m_linkParameters;
    bool m_bLinkClick = true;
};
