#include "ui/Window.h"

#include <algorithm>

#include "ui/System.h"

namespace vesk::ui {

Window::Window() : m_system(System::Current()) {}

Window::~Window() {
    if (IsCreated() && m_system && m_system->IsUiThread()) DestroyWindow();
}

bool Window::Register(Window* parent, const gfx::Rect& rect, std::wstring text, bool visible) {
    if (!m_system) m_system = System::Current();
    if (!m_system || IsCreated() || (parent && !parent->IsCreated())) return false;
    m_parent = parent;
    m_rect = rect;
    m_text = std::move(text);
    m_visible = false;
    m_dirty = true;
    m_shownOnce = false;
    if (parent) {
        m_font = parent->m_font;
        parent->m_children.push_back(this);
    }
    m_hwnd.store(m_system->Register(*this));
    if (visible) ShowNow(true);
    return true;
}

bool Window::CreateTopLevel(const gfx::Rect& screen, std::wstring text) {
    return Register(nullptr, screen, std::move(text), false);
}

bool Window::CreateChild(Window& parent, int id, const gfx::Rect& rect, std::wstring text,
                         bool visible) {
    m_id = id;
    return Register(&parent, rect, std::move(text), visible);
}

void Window::DestroyWindow() {
    if (!IsCreated()) return;
    while (!m_children.empty()) m_children.back()->DestroyWindow();
    OnDestroy();
    if (m_parent) {
        std::erase(m_parent->m_children, this);
        m_parent->Invalidate();
    }
    m_system->Unregister(*this);
    m_hwnd.store(0);
    m_parent = nullptr;
    m_visible = false;
}

bool Window::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return m_system && m_system->Post(GetHwnd(), message, wParam, lParam);
}

void Window::Invalidate() {
    if (!m_system || !IsCreated()) return;
    if (m_system->IsUiThread())
        TopLevel().m_dirty = true;
    else
        m_system->Invalidate(GetHwnd());
}

void Window::SetAlpha(std::uint8_t alpha) {
    if (m_system && IsCreated()) m_system->SetAlpha(GetHwnd(), alpha);
}

void Window::SetWindowText(const std::wstring& text) {
    if (!m_system) return;
    m_system->RunOnUiThread([&] {
        if (m_text == text) return;
        m_text = text;
        Invalidate();
    });
}

void Window::ShowWindow(bool show) {
    if (m_system) m_system->RunOnUiThread([&] { ShowNow(show); });
}

void Window::ShowNow(bool show) {
    if (!IsCreated() || m_visible == show) return;
    m_visible = show;
    if (!m_parent) m_system->WindowShown(*this, show);
    Invalidate();
    OnShowWindow(show);
}

void Window::MoveWindow(const gfx::Rect& rect) {
    if (m_system) m_system->RunOnUiThread([&] { MoveNow(rect); });
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
    if (!m_system) return;
    m_system->RunOnUiThread([&] {
        if (m_enabled == enable) return;
        m_enabled = enable;
        Invalidate();
    });
}

void Window::SetFont(const gfx::FontSpec& font) {
    if (!m_system) return;
    m_system->RunOnUiThread([&] {
        m_font = font;
        Invalidate();
    });
}

void Window::SetFocus() {
    if (m_system) m_system->RunOnUiThread([&] { m_system->m_focus = GetHwnd(); });
}

Window* Window::GetDlgItem(int id) const {
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
    m_region = region;
    if (IsCreated() && !m_parent) m_system->WindowMoved(*this);
}

void Window::SetTimer(WPARAM id, std::chrono::milliseconds interval) {
    if (IsCreated()) m_system->AddTimer(*this, id, interval);
}

void Window::KillTimer(WPARAM id) {
    if (IsCreated()) m_system->RemoveTimer(GetHwnd(), id);
}

bool Window::TrackMouseEvent(std::chrono::milliseconds hoverTime) {
    if (!IsCreated()) return false;
    m_system->StartTracking(*this, hoverTime);
    return true;
}

void Window::SetCapture() {
    if (IsCreated()) m_system->m_capture = GetHwnd();
}

void Window::ReleaseCapture() {
    if (m_system && m_system->m_capture == GetHwnd()) m_system->m_capture = 0;
}

std::unique_ptr<gfx::Canvas> Window::GetClientCanvas() {
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
