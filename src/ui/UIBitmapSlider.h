#pragma once
// The progress bar of the update window: a background image and, over it, a fill image
// squeezed to the fraction of the range the position has reached. It takes no input and has a
// tooltip. UI thread only.

#include <memory>
#include <string>

#include "gfx/Bitmap.h"
#include "ui/Static.h"
#include "ui/ToolTip.h"

class CUIBitmapSlider : public vesk::ui::Static {
public:
    CUIBitmapSlider();
    ~CUIBitmapSlider() override;

    // False when either image cannot be opened; a background that opened stays.
    bool SetImages(const std::wstring& background, const std::wstring& fill);
    void SetUpperBound(int value, bool redraw);
    void SetLowerBound(int value, bool redraw);
    void SetBounds(int lower, int upper, bool redraw);
    // Repaints unless the value equals the stored position; the value is clamped after that
    // comparison, so the same out-of-range value repaints again.
    void SetPosition(int value);
    bool SetTipText(const std::wstring& text, bool activate);
    bool ActivateTip(bool activate);

    int GetPosition() const { return m_nPos; }
    // The fill's width for the current position.
    int FillWidth() const;

    bool PreTranslateMessage(vesk::ui::Message& message) override;
    void OnPaint(vesk::gfx::Canvas& dc) override;

private:
    void MakeToolTip();

    int m_nMax = 100;
    int m_nMin = 0;
    int m_nPos = 0;
    std::unique_ptr<vesk::gfx::Bitmap> m_pBackground;
    std::unique_ptr<vesk::gfx::Bitmap> m_pFill;
    vesk::ui::ToolTip m_toolTip;
};
