#pragma once
// A tooltip: a small popup that shows a tool's text when the pointer rests on the tool for the
// initial delay, wrapped at the maximum width, and hides on a press, on leaving or after the
// pop-up time. The owner relays its mouse messages with RelayEvent; the tip goes with the owner.
// UI thread only, beyond what Window allows.

#include <chrono>
#include <deque>
#include <string>
#include <vector>

#include "ui/Window.h"

namespace vesk::ui {

class ToolTip : public Window {
public:
    bool Create(Window& owner);
    void Activate(bool active);
    bool IsActive() const { return m_active; }
    bool AddTool(Window& tool, const gfx::Rect& rect, const std::wstring& text, int id);
    void UpdateTipText(const std::wstring& text, Window& tool, int id);
    int GetToolCount() const { return static_cast<int>(m_tools.size()); }
    void SetMaxTipWidth(int width) { m_maxWidth = width; }
    // The automatic delay: shown after it, hidden after ten times it.
    void SetDelayTime(std::chrono::milliseconds automatic) { m_delay = automatic; }
    void RelayEvent(const Message& message);
    // Redraws a showing tip with its current text.
    void Update();
    bool IsShowing() const { return IsWindowVisible(); }
    std::wstring ShownText() const { return IsShowing() ? GetWindowText() : std::wstring(); }

    bool OnEraseBkgnd(gfx::Canvas& dc) override;
    void OnPaint(gfx::Canvas& dc) override;
    void OnTimer(WPARAM id) override;

private:
    struct Tool {
        Hwnd hwnd;
        int id;
        gfx::Rect rect;
        std::wstring text;
    };
    const Tool* ToolAt(Hwnd hwnd, gfx::Point p) const;
    void Show();
    void Hide();

    std::deque<Tool> m_tools;  // a deque, so the pending tool stays put as tools are added
    bool m_active = false;
    int m_maxWidth = 0;
    std::chrono::milliseconds m_delay{500};
    const Tool* m_pending = nullptr;
    gfx::Point m_pointer;  // screen
};

}  // namespace vesk::ui
