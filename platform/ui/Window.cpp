#include "ui/Window.h"

#include <algorithm>

#include "ui/System.h"
#include "ui/UiThread.h"

namespace vesk::ui {

Window::Window() : m_system(System::Current()) {}

// Destroyed on the UI thread only: a teardown marshalled from elsewhere would run after the
// derived parts of the object are gone, while the UI thread may still paint them.
Window::~Window() {
    if (!IsCreated()) return;
    VESK_DCHECK_UI_THREAD(m_system);
    DestroyWindow();
}

bool Window::Register(Window* parent, Window* owner, const gfx::Rect& rect, std::wstring text,
                      bool visible) {
    if (!m_system) m_system = System::Current();
    VESK_DCHECK_UI_THREAD(m_system);
    if (!m_system || IsCreated() || (parent && !parent->IsCreated()) ||
        (owner && !owner->IsCreated()))
        return false;
    m_parent = parent;
    m_owner = owner;
    m_rect = rect;
    m_text = std::move(text);
    m_visible = false;
    m_dirty = true;
    m_shownOnce = false;
    if (parent) {
        m_font = parent->m_font;
        parent->m_children.push_back(this);
    }
    if (owner) owner->m_owned.push_back(this);
    m_hwnd.store(m_system->Register(*this));
    if (visible) ShowNow(true);
    return true;
}

bool Window::CreateTopLevel(const gfx::Rect& screen, std::wstring text, Window* owner) {
    return Register(nullptr, owner, screen, std::move(text), false);
}

bool Window::CreateChild(Window& parent, int id, const gfx::Rect& rect, std::wstring text,
                         bool visible) {
    m_id = id;
    return Register(&parent, nullptr, rect, std::move(text), visible);
}

void Window::DestroyWindow() {
    if (!IsCreated()) return;
    VESK_DCHECK_UI_THREAD(m_system);
    while (!m_owned.empty()) m_owned.back()->DestroyWindow();
    while (!m_children.empty()) m_children.back()->DestroyWindow();
    OnDestroy();
    if (m_owner) std::erase(m_owner->m_owned, this);
    if (m_parent) {
        std::erase(m_parent->m_children, this);
        m_parent->Invalidate();
    }
    m_system->Unregister(*this);
    m_hwnd.store(0);
    m_parent = nullptr;
    m_owner = nullptr;
    m_visible = false;
    m_minimized = false;
}

bool Window::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    VESK_DCHECK_UI_THREAD(m_system);
    return m_system && m_system->Post(GetHwnd(), message, wParam, lParam);
}

void Window::Invalidate() {
    VESK_DCHECK_UI_THREAD(m_system);
    if (IsCreated()) TopLevel().m_dirty = true;
}

void Window::SetAlpha(std::uint8_t alpha) {
    VESK_DCHECK_UI_THREAD(m_system);
    if (IsCreated()) m_system->ApplyAlpha(GetHwnd(), alpha);
}

void Window::SetLayered() {
    VESK_DCHECK_UI_THREAD(m_system);
    if (IsCreated()) m_system->ApplyAlpha(GetHwnd(), 0);
}

void Window::Fade(std::uint8_t from, std::uint8_t to, int step,
                  std::chrono::milliseconds interval) {
    VESK_DCHECK_UI_THREAD(m_system);
    if (IsCreated() && !m_parent) m_system->StartFade(GetHwnd(), from, to, step, interval);
}

void Window::SetWindowText(const std::wstring& text) {
    VESK_DCHECK_UI_THREAD(m_system);
    if (m_text == text) return;
    m_text = text;
    if (IsCreated()) Invalidate();
}

std::wstring Window::GetWindowText() const {
    VESK_DCHECK_UI_THREAD(m_system);
    return m_text;
}

const gfx::FontSpec& Window::GetFont() const {
    VESK_DCHECK_UI_THREAD(m_system);
    return m_font;
}

void Window::ShowWindow(bool show) {
    VESK_DCHECK_UI_THREAD(m_system);
    if (show && m_minimized) {
        m_minimized = false;
        if (IsCreated()) m_system->WindowShown(*this, true);
    }
    ShowNow(show);
}

void Window::MinimizeWindow() {
    VESK_DCHECK_UI_THREAD(m_system);
    if (!IsCreated() || m_parent || m_minimized) return;
    m_minimized = true;
    m_system->ReleaseCaptureWithin(*this);
    m_system->WindowMoved(*this);
}

bool Window::IsIconic() const {
    VESK_DCHECK_UI_THREAD(m_system);
    return m_minimized;
}

void Window::SetIcon(gfx::Bitmap icon) {
    VESK_DCHECK_UI_THREAD(m_system);
    m_icon = icon.IsEmpty() ? nullptr : std::make_unique<gfx::Bitmap>(std::move(icon));
    if (IsCreated() && !m_parent) m_system->WindowMoved(*this);
}

const gfx::Bitmap* Window::GetIcon() const {
    VESK_DCHECK_UI_THREAD(m_system);
    return m_icon.get();
}

void Window::SetNoActivate(bool noActivate) {
    VESK_DCHECK_UI_THREAD(m_system);
    m_noActivate = noActivate;
}

void Window::ShowNow(bool show) {
    if (!IsCreated() || m_visible == show) return;
    m_visible = show;
    if (!show) m_system->ReleaseCaptureWithin(*this);
    if (!m_parent) m_system->WindowShown(*this, show);
    Invalidate();
    OnShowWindow(show);
}

void Window::MoveWindow(const gfx::Rect& rect) {
    VESK_DCHECK_UI_THREAD(m_system);
    MoveNow(rect);
}

void Window::MoveNow(const gfx::Rect& rect) {
    if (!IsCreated() || rect == m_rect) return;
    const bool resized = rect.Width() != m_rect.Width() || rect.Height() != m_rect.Height();
    m_rect = rect;
    if (m_parent) {
        m_parent->Invalidate();
    } else {
        m_system->WindowMoved(*this);
        if (resized) Invalidate();
    }
}

void Window::EnableWindow(bool enable) {
    VESK_DCHECK_UI_THREAD(m_system);
    if (m_enabled == enable) return;
    m_enabled = enable;
    if (!IsCreated()) return;
    if (!enable) m_system->ReleaseCaptureWithin(*this);
    Invalidate();
}

void Window::SetFont(const gfx::FontSpec& font) {
    VESK_DCHECK_UI_THREAD(m_system);
    m_font = font;
    if (IsCreated()) Invalidate();
}

void Window::SetFocus() {
    VESK_DCHECK_UI_THREAD(m_system);
    if (IsCreated()) m_system->m_focus = GetHwnd();
}

Window* Window::GetDlgItem(int id) const {
    VESK_DCHECK_UI_THREAD(m_system);
    for (Window* child : m_children)
        if (child->m_id == id) return child;
    return nullptr;
}

Window& Window::TopLevel() {
    Window* w = this;
    while (w->m_parent) w = w->m_parent;
    return *w;
}

bool Window::IsWindowVisible() const {
    VESK_DCHECK_UI_THREAD(m_system);
    for (const Window* w = this; w; w = w->m_parent)
        if (!w->m_visible) return false;
    return IsCreated();
}

gfx::Rect Window::GetScreenRect() const {
    const gfx::Point corner = ClientToScreen({0, 0});
    return gfx::Rect::FromXywh(corner.x, corner.y, m_rect.Width(), m_rect.Height());
}

gfx::Point Window::ClientToScreen(gfx::Point p) const {
    for (const Window* w = this; w; w = w->m_parent)
        p = {p.x + w->m_rect.left, p.y + w->m_rect.top};
    return p;
}

gfx::Point Window::ScreenToClient(gfx::Point p) const {
    const gfx::Point corner = ClientToScreen({0, 0});
    return {p.x - corner.x, p.y - corner.y};
}

void Window::SetWindowRegion(const gfx::Rect& region) {
    VESK_DCHECK_UI_THREAD(m_system);
    m_region = region;
    if (IsCreated() && !m_parent) m_system->WindowMoved(*this);
}

void Window::SetTimer(WPARAM id, std::chrono::milliseconds interval) {
    VESK_DCHECK_UI_THREAD(m_system);
    if (IsCreated()) m_system->AddTimer(GetHwnd(), id, interval);
}

void Window::KillTimer(WPARAM id) {
    VESK_DCHECK_UI_THREAD(m_system);
    if (IsCreated()) m_system->RemoveTimer(GetHwnd(), id);
}

bool Window::TrackMouseEvent(std::chrono::milliseconds hoverTime) {
    VESK_DCHECK_UI_THREAD(m_system);
    if (!IsCreated()) return false;
    m_system->StartTracking(*this, hoverTime);
    return true;
}

void Window::SetCapture() {
    VESK_DCHECK_UI_THREAD(m_system);
    if (IsCreated()) m_system->SetCaptureTo(GetHwnd());
}

void Window::ReleaseCapture() {
    VESK_DCHECK_UI_THREAD(m_system);
    if (IsCreated() && m_system->m_capture == GetHwnd()) m_system->SetCaptureTo(0);
}

std::unique_ptr<gfx::Canvas> Window::GetClientCanvas() {
    VESK_DCHECK_UI_THREAD(m_system);
    if (!IsCreated()) return nullptr;
    Window& top = TopLevel();
    if (top.m_composed.IsEmpty()) return nullptr;
    const gfx::Point corner = ScreenToClient(top.ClientToScreen({0, 0}));
    const gfx::Point offset{-corner.x, -corner.y};
    return std::make_unique<gfx::Canvas>(
        top.m_composed, offset,
        gfx::Rect::FromXywh(offset.x, offset.y, m_rect.Width(), m_rect.Height()));
}

LRESULT Window::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    VESK_DCHECK_UI_THREAD(m_system);
    return WindowProc(message, wParam, lParam);
}

void Window::Paint(gfx::Canvas& dc) {
    if (!OnEraseBkgnd(dc)) dc.FillRect(GetClientRect(), gfx::ArgbFromColorRef(0xF0F0F0));
    OnPaint(dc);
}

LRESULT Window::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    const gfx::Point p = PointFromParam(lParam);
    switch (message) {
        case WM_TIMER:
            OnTimer(wParam);
            return 0;
        case WM_COMMAND:
            return OnCommand(static_cast<int>(wParam & 0xFFFF), static_cast<int>(wParam >> 16)) ? 0
                                                                                                : 1;
        case WM_MOUSEMOVE:
            OnMouseMove(p);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            OnLButtonDown(p);
            return 0;
        case WM_LBUTTONUP:
            OnLButtonUp(p);
            return 0;
        case WM_MOUSEHOVER:
            OnMouseHover(p);
            return 0;
        case WM_MOUSELEAVE:
            OnMouseLeave();
            return 0;
        case WM_CAPTURECHANGED:
            OnCaptureChanged();
            return 0;
        case WM_KEYDOWN:
            OnKeyDown(static_cast<int>(wParam));
            return 0;
        default:
            return OnMessage(message, wParam, lParam);
    }
}

bool Window::PreTranslateMessage(Message&) {
    return false;
}

bool Window::OnEraseBkgnd(gfx::Canvas& dc) {
    ControlColors colors;
    if (m_parent)
        m_parent->OnCtlColor(*this, colors);
    else
        OnCtlColor(*this, colors);
    if (colors.brush == ControlColors::Brush::Hollow) return true;
    dc.FillRect(GetClientRect(), gfx::ArgbFromColorRef(colors.brushColor));
    return true;
}

void Window::OnPaint(gfx::Canvas&) {}

void Window::OnCtlColor(Window& child, ControlColors& colors) {
    if (&child != this) child.OnReflectedCtlColor(colors);
}

void Window::OnReflectedCtlColor(ControlColors&) {}

int Window::OnNcHitTest(gfx::Point) {
    return HTCLIENT;
}

bool Window::OnCommand(int, int) {
    return false;
}

void Window::OnTimer(WPARAM) {}

LRESULT Window::OnMessage(UINT, WPARAM, LPARAM) {
    return 0;
}

}  // namespace vesk::ui
