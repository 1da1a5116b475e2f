#pragma once
// A push button. Owner-drawn, it leaves its look to DrawItem and tells it whether it is held
// down; either way a click reaches the parent as WM_COMMAND with BN_CLICKED and the button's id.
// UI thread only, beyond what Window allows from other threads.

#include "ui/Window.h"

namespace vesk::ui {

struct DrawItemInfo {
    int controlId = 0;
    UINT itemState = 0;  // ODS_SELECTED while held down, ODS_DISABLED, ODS_FOCUS
    gfx::Rect item;
};

class Button : public Window {
public:
    void SetOwnerDraw(bool ownerDraw) { m_ownerDraw = ownerDraw; }
    bool IsOwnerDraw() const { return m_ownerDraw; }
    // Held down with the pointer over it.
    bool IsPushed() const { return m_pushed; }

    bool OnEraseBkgnd(gfx::Canvas& dc) override;
    void OnPaint(gfx::Canvas& dc) override;
    void OnLButtonDown(gfx::Point p) override;
    void OnMouseMove(gfx::Point p) override;
    void OnLButtonUp(gfx::Point p) override;
    void OnCaptureChanged() override;
    bool WantsDoubleClicks() const override { return true; }

protected:
    // Draws the owner-drawn look.
    virtual void DrawItem(gfx::Canvas& dc, const DrawItemInfo& item);

private:
    void SetPushed(bool pushed);

    bool m_ownerDraw = false;
    bool m_held = false;
    bool m_pushed = false;
};

}  // namespace vesk::ui
