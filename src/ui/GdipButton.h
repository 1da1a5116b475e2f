#pragma once
// The small image button (the exit buttons): from one image it builds, once, its finished looks
// (normal, pressed, hot, grey, and the same for an alternate image) over a copy of the parent's
// background, and copies the right one on every paint. A click reaches the parent as
// WM_COMMAND with BN_CLICKED. UI thread only.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "GdiPlusBitmapResource.h"
#include "ui/Button.h"
#include "ui/ToolTip.h"

class CGdipButton : public vesk::ui::Button {
public:
    enum Kind { kStandard = 0, kAlternate = 1, kDisabled = 2 };

    CGdipButton();
    ~CGdipButton() override;

    bool LoadNormalImage(const std::wstring& path);
    bool LoadNormalImageResource(const vesk::ui::ResourceName& id, std::wstring_view type);
    bool LoadAlternateImageResource(const vesk::ui::ResourceName& id, std::wstring_view type);
    void SetTipText(const std::wstring& text, bool activate = true);
    void SetImageKind(int kind);
    void EnableToggling(bool on);

    bool LooksReady() const { return m_bLooksReady; }
    vesk::ui::ToolTip* GetToolTip() const { return m_pToolTip.get(); }

    bool PreTranslateMessage(vesk::ui::Message& message) override;
    void OnReflectedCtlColor(vesk::ui::ControlColors& colors) override;
    void OnMouseMove(vesk::gfx::Point p) override;
    void OnMouseHover(vesk::gfx::Point p) override;
    void OnMouseLeave() override;
    void OnDestroy() override;

protected:
    void DrawItem(vesk::gfx::Canvas& dc, const vesk::ui::DrawItemInfo& item) override;

private:
    enum Look {
        kBackground,
        kStd,
        kStdPressed,
        kStdHot,
        kAlt,
        kAltPressed,
        kAltHot,
        kGray,
        kLooks
    };

    void BuildLooks(vesk::gfx::Surface background);
    // The background look with the drawing on it.
    vesk::gfx::Surface MakeLook(const std::function<void(vesk::gfx::Canvas&)>& draw);
    vesk::gfx::Surface* LookOf(Look standard, Look alternate);

    bool m_bHaveAltImage = false;
    bool m_bLooksReady = false;
    bool m_bDisabledLook = false;
    bool m_bToggle = false;
    bool m_bHovering = false;
    bool m_bTracking = false;
    int m_nCurType = kStandard;
    std::unique_ptr<CGdiPlusBitmapResource> m_pAltImage;
    std::unique_ptr<CGdiPlusBitmapResource> m_pStdImage;
    std::wstring m_tooltext;
    std::unique_ptr<vesk::ui::ToolTip> m_pToolTip;
    std::optional<vesk::gfx::Surface> m_looks[kLooks];
    bool m_bWasSelected = false;
};
