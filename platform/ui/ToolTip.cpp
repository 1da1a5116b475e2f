#include "ui/ToolTip.h"

#include "ui/SysColors.h"
#include "ui/System.h"

namespace vesk::ui {

namespace {

constexpr WPARAM kShowTimer = 1;
constexpr WPARAM kPopTimer = 2;
constexpr int kPadding = 4;
constexpr int kBelowPointer = 20;
constexpr gfx::ColorRef kInfoBorder = 0x767676;

}  // namespace

bool ToolTip::Create(Window& owner) {
    if (!CreateTopLevel({0, 0, 1, 1}, {}, &owner)) return false;
    SetNoActivate(true);
    SetFont(owner.GetFont());
    return true;
}

void ToolTip::Activate(bool active) {
    m_active = active;
    if (!active) Hide();
}

bool ToolTip::AddTool(Window& tool, const gfx::Rect& rect, const std::wstring& text, int id) {
    if (!tool.IsCreated()) return false;
    m_tools.push_back({tool.GetHwnd(), id, rect, text});
    return true;
}

void ToolTip::UpdateTipText(const std::wstring& text, Window& tool, int id) {
    for (Tool& t : m_tools)
        if (t.hwnd == tool.GetHwnd() && t.id == id) t.text = text;
    Update();
}

const ToolTip::Tool* ToolTip::ToolAt(Hwnd hwnd, gfx::Point p) const {
    for (const Tool& t : m_tools)
        if (t.hwnd == hwnd && t.rect.Contains(p)) return &t;
    return nullptr;
}

void ToolTip::RelayEvent(const Message& message) {
    if (!IsCreated()) return;
    if (message.message != WM_MOUSEMOVE) {
        if (message.message == WM_LBUTTONDOWN || message.message == WM_MOUSELEAVE ||
            message.message == WM_LBUTTONDBLCLK)
            Hide();
        return;
    }
    const Tool* tool = m_active ? ToolAt(message.hwnd, PointFromParam(message.lParam)) : nullptr;
    if (!tool) {
        Hide();
        return;
    }
    if (Window* w = Sys().FromHwnd(message.hwnd))
        m_pointer = w->ClientToScreen(PointFromParam(message.lParam));
    if (IsShowing() || m_pending == tool) return;
    m_pending = tool;
    SetTimer(kShowTimer, m_delay);
}

void ToolTip::Show() {
    KillTimer(kShowTimer);
    if (!m_pending || m_pending->text.empty()) return;
    SetWindowText(m_pending->text);
    const gfx::Size text = gfx::Canvas::MeasureText(m_pending->text, GetFont(),
                                                    m_maxWidth > 0 ? m_maxWidth - 2 * kPadding : 0);
    MoveWindow(gfx::Rect::FromXywh(m_pointer.x, m_pointer.y + kBelowPointer, text.cx + 2 * kPadding,
                                   text.cy + 2 * kPadding));
    ShowWindow(true);
    SetTimer(kPopTimer, m_delay * 10);
}

void ToolTip::Hide() {
    m_pending = nullptr;
    if (!IsCreated()) return;
    KillTimer(kShowTimer);
    KillTimer(kPopTimer);
    ShowWindow(false);
}

void ToolTip::Update() {
    if (!IsShowing()) return;
    for (const Tool& t : m_tools)
        if (&t == m_pending) SetWindowText(t.text);
    Invalidate();
}

void ToolTip::OnTimer(WPARAM id) {
    if (id == kShowTimer)
        Show();
    else if (id == kPopTimer)
        Hide();
}

bool ToolTip::OnEraseBkgnd(gfx::Canvas& dc) {
    const gfx::Rect r = GetClientRect();
    dc.FillRect(r, gfx::ArgbFromColorRef(kInfoBorder));
    dc.FillRect(r.Deflate(1), gfx::ArgbFromColorRef(GetSysColor(COLOR_INFOBK)));
    return true;
}

void ToolTip::OnPaint(gfx::Canvas& dc) {
    dc.DrawStaticText(GetWindowText(), GetFont(), GetClientRect().Deflate(kPadding),
                      gfx::TextAlign::Left, gfx::ArgbFromColorRef(GetSysColor(COLOR_INFOTEXT)));
}

}  // namespace vesk::ui
