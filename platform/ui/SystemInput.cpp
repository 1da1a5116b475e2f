// The core's routing of input: pointer to the window under it (or the capture), caption
// drags, hover and leave notices, cursors, and keys to the active dialog.
#include <utility>

#include "clock/Clock.h"
#include "ui/System.h"

namespace vesk::ui {

void System::HandleInput(const InputEvent& event) {
    switch (event.kind) {
        case InputEvent::Kind::MouseMove:
            MouseMove(event);
            break;
        case InputEvent::Kind::ButtonDown:
            ButtonDown(event);
            break;
        case InputEvent::Kind::ButtonUp:
            ButtonUp(event);
            break;
        case InputEvent::Kind::Key:
            Key(event);
            break;
        case InputEvent::Kind::PointerLeft:
            if (!m_capture) LeaveTracked();
            break;
        case InputEvent::Kind::Moved:
            if (Window* w = FromHwnd(event.window); w && !w->m_parent)
                w->m_rect = gfx::Rect::FromXywh(event.screen.x, event.screen.y, w->m_rect.Width(),
                                                w->m_rect.Height());
            break;
    }
}

// The deepest visible window under the point, in the top-most top-level window showing there.
Window* System::WindowAt(gfx::Point screen, Hwnd hint) const {
    Window* top = nullptr;
    for (auto it = m_topLevels.rbegin(); it != m_topLevels.rend() && !top; ++it) {
        Window* w = *it;
        if (!w->m_visible || w->m_minimized || (hint && w->GetHwnd() != hint)) continue;
        const gfx::Point p = w->ScreenToClient(screen);
        const TopLevelView view = ViewOf(*w);
        if (view.region.Contains(p)) top = w;
    }
    if (!top) return nullptr;
    Window* found = top;
    for (bool descended = true; descended;) {
        descended = false;
        const gfx::Point p = found->ScreenToClient(screen);
        for (auto it = found->m_children.rbegin(); it != found->m_children.rend(); ++it)
            if ((*it)->m_visible && (*it)->m_rect.Contains(p)) {
                found = *it;
                descended = true;
                break;
            }
    }
    return found;
}

// Asks the window, then its ancestors while they answer "transparent", what lies at the point.
Window* System::HitTarget(Window* window, gfx::Point screen, int& hit) const {
    hit = window->OnNcHitTest(screen);
    while (hit == HTTRANSPARENT && window->m_parent) {
        window = window->m_parent;
        hit = window->OnNcHitTest(screen);
    }
    return window;
}

bool System::AcceptsInput(Window& window) const {
    for (Window* w = &window; w; w = w->m_parent)
        if (!w->m_enabled) return false;
    return true;
}

void System::LeaveTracked() {
    const Hwnd tracked = m_tracking.hwnd;
    m_tracking = {};
    if (tracked) Dispatch({tracked, WM_MOUSELEAVE, 0, 0});
}

void System::StartTracking(Window& window, milliseconds hoverTime) {
    m_tracking.hwnd = window.GetHwnd();
    m_tracking.hoverTime = hoverTime;
    m_tracking.hoverDue = clock::Now() + hoverTime;
}

void System::SetCaptureTo(Hwnd hwnd) {
    const Hwnd lost = std::exchange(m_capture, hwnd);
    if (lost && lost != hwnd) Dispatch({lost, WM_CAPTURECHANGED, 0, static_cast<LPARAM>(hwnd)});
}

// A window that cannot take input must not keep every pointer move to itself.
void System::ReleaseCaptureWithin(Window& window) {
    for (Window* w = FromHwnd(m_capture); w; w = w->m_parent)
        if (w == &window) return SetCaptureTo(0);
}

void System::MouseMove(const InputEvent& event) {
    if (Window* dragged = FromHwnd(m_drag.hwnd)) {
        dragged->MoveNow(gfx::Rect::FromXywh(m_drag.windowStart.x + event.screen.x - m_drag.start.x,
                                             m_drag.windowStart.y + event.screen.y - m_drag.start.y,
                                             dragged->m_rect.Width(), dragged->m_rect.Height()));
        return;
    }
    Window* target = m_capture ? FromHwnd(m_capture) : WindowAt(event.screen, event.window);
    if (m_tracking.hwnd && (!target || target->GetHwnd() != m_tracking.hwnd)) LeaveTracked();
    if (!target || !AcceptsInput(*target)) return;
    if (!target->OnSetCursor()) SetCursor(target->m_cursor);
    const gfx::Point p = target->ScreenToClient(event.screen);
    if (m_tracking.hwnd == target->GetHwnd()) {
        m_tracking.point = p;
        // Hover means resting: every move starts the hover time again.
        if (m_tracking.hoverDue) m_tracking.hoverDue = clock::Now() + m_tracking.hoverTime;
    }
    Dispatch({target->GetHwnd(), WM_MOUSEMOVE, 0, MakePointParam(p)});
}

void System::ButtonDown(const InputEvent& event) {
    Window* under = WindowAt(event.screen, event.window);
    if (!under || !AcceptsInput(under->TopLevel())) return;
    int hit = HTCLIENT;
    Window* target = HitTarget(under, event.screen, hit);
    if (hit == HTCAPTION) {
        Window& top = target->TopLevel();
        if (!m_backend->DragsWindows())
            m_drag = {top.GetHwnd(), event.screen, top.m_rect.TopLeft()};
        return;
    }
    if (hit != HTCLIENT || !AcceptsInput(*target)) return;
    const UINT message =
        event.clicks == 2 && target->WantsDoubleClicks() ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN;
    Dispatch({target->GetHwnd(), message, 0, MakePointParam(target->ScreenToClient(event.screen))});
}

void System::ButtonUp(const InputEvent& event) {
    if (m_drag.hwnd) {
        m_drag = {};
        return;
    }
    Window* target = m_capture ? FromHwnd(m_capture) : WindowAt(event.screen, event.window);
    if (!target || !AcceptsInput(*target)) return;
    Dispatch(
        {target->GetHwnd(), WM_LBUTTONUP, 0, MakePointParam(target->ScreenToClient(event.screen))});
}

// Keys go to the focused window of the active top-level window: the innermost modal one, else
// the one the key arrived at.
void System::Key(const InputEvent& event) {
    Window* active = !m_modal.empty() ? m_modal.back() : FromHwnd(event.window);
    if (!active && !m_topLevels.empty()) active = m_topLevels.back();
    if (!active) return;
    Window* focus = FromHwnd(m_focus);
    Window* target = focus && &focus->TopLevel() == active ? focus : active;
    Dispatch({target->GetHwnd(), WM_KEYDOWN, static_cast<WPARAM>(event.key), 0});
}

}  // namespace vesk::ui
