#pragma once
// A static text control: its text from the top, left-aligned or centred, word-wrapped at its
// width, in the colours its parent answers to its colour request. Without the notify style it
// lets the pointer through to its parent. SetAlignment is safe from any thread (from a worker it
// runs on the UI thread while the worker waits); the rest is UI thread only, beyond what Window
// allows.

#include "ui/Window.h"

namespace vesk::ui {

class Static : public Window {
public:
    // Any thread.
    void SetAlignment(gfx::TextAlign align);
    // UI thread.
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
