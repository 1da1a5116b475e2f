#pragma once
// A static text control: its text from the top, left-aligned or centred, word-wrapped at its
// width, in the colours its parent answers to its colour request. Without the notify style it
// lets the pointer through to its parent. UI thread only; workers change its alignment through
// WindowHandle.

#include "ui/Window.h"

namespace vesk::ui {

class Static : public Window {
public:
    void SetAlignment(gfx::TextAlign align);
    gfx::TextAlign GetAlignment() const { return m_align; }
    // With the notify style the control receives the pointer itself.
    void SetNotify(bool notify) { m_notify = notify; }

    bool OnEraseBkgnd(gfx::Canvas& dc) override;
    void OnPaint(gfx::Canvas& dc) override;
    int OnNcHitTest(gfx::Point screen) override;

private:
    gfx::TextAlign m_align = gfx::TextAlign::Left;
    bool m_notify = false;
};

}  // namespace vesk::ui
