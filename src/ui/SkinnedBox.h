#pragma once
// What the two skinned message boxes share: a borderless dialog drawn from a background image,
// with a title label and a body label, a 28-pixel band at the top that drags it, a window
// region that hides the image's outer 4 pixels, and a fade-in when it appears. The fade is
// stepped by the window system and always ends fully opaque, or with the box. UI thread only;
// a worker asks for a box through WindowHandle::RunBox.

#include <memory>
#include <string>

#include "gfx/Bitmap.h"
#include "ui/Dialog.h"

class CUIHMXStatic;

class CSkinnedBox : public vesk::ui::Dialog {
public:
    static constexpr int kDragBand = 28;
    static constexpr std::uint8_t kFadeFrom = 1;
    static constexpr int kFadeStep = 10;
    static constexpr std::chrono::milliseconds kFadeInterval{15};

    // Both texts already localised; the background is a theme-relative image name.
    CSkinnedBox(vesk::ui::DialogTemplate dialogTemplate, vesk::ui::Window* parent,
                const std::wstring& text, const std::wstring& caption,
                std::wstring_view backgroundImage, int safeDefault);
    ~CSkinnedBox() override;

    const vesk::gfx::Bitmap* Background() const { return m_pBackground.get(); }

    int OnNcHitTest(vesk::gfx::Point screen) override;
    void OnPaint(vesk::gfx::Canvas& dc) override;
    void OnCtlColor(vesk::ui::Window& child, vesk::ui::ControlColors& colors) override;
    void OnShowWindow(bool show) override;

protected:
    // The box font of the text buttons: Tahoma, 13 pixels, bold.
    static vesk::gfx::FontSpec BoxFont();
    // Steps the two boxes share after their buttons: the labels' colours, fonts and texts (and
    // which child's colour request goes on to the image button), then the region and the
    // layered style.
    void SkinLabels(CUIHMXStatic& title, CUIHMXStatic& body, int exitButtonId);
    void ShapeAndHide();
    std::optional<vesk::ui::BoxInfo> AsMessageBox() const override;

    std::wstring m_strText;
    std::wstring m_strCaption;

private:
    std::unique_ptr<vesk::gfx::Bitmap> m_pBackground;
    int m_exitId = 0;
    int m_titleId = 0;
    int m_bodyId = 0;
    int m_safeDefault;
};
