#include "UIHMXStatic.h"

#include "process/Launch.h"
#include "ui/SysColors.h"
#include "ui/System.h"

using namespace vesk;

namespace {

constexpr int kToolId = 1;
constexpr int kMaxTipWidth = 400;
constexpr int kBold = 700;
constexpr int kDefaultCharSet = 1;
// The label's context's vertical resolution.
constexpr int kPixelsPerInch = 96;

int MulDiv(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    return static_cast<int>((product + (product >= 0 ? denominator / 2 : -denominator / 2)) /
                            denominator);
}

}  // namespace

CUIHMXStatic::CUIHMXStatic()
    : m_crText(ui::GetSysColor(ui::COLOR_WINDOWTEXT)),
      m_crBack(ui::GetSysColor(ui::COLOR_WINDOW)) {}

CUIHMXStatic::~CUIHMXStatic() {
    DestroyWindow();
}

bool CUIHMXStatic::SetForeColor(gfx::ColorRef color) {
    m_crText = color;
    Invalidate();
    return true;
}

bool CUIHMXStatic::SetBackColor(gfx::ColorRef color) {
    m_crBack = color;
    Invalidate();
    return true;
}

bool CUIHMXStatic::SetTransparentMode(bool transparent) {
    m_bTransparent = transparent;
    return true;
}

bool CUIHMXStatic::SetLogFont(const LogFont& font) {
    m_font = font;
    if (m_font.faceName.size() > kMaxFaceName) m_font.faceName.resize(kMaxFaceName);
    m_bOwnFont = true;
    gfx::FontSpec described;
    described.face = m_font.faceName;
    described.height = m_font.height;
    described.weight = m_font.weight == 0 ? 400 : m_font.weight;
    described.italic = m_font.italic;
    SetFont(described);
    return true;
}

// The window's current font, with the fields the drawing has no use for kept from the label's
// own description.
bool CUIHMXStatic::GetLogFont(LogFont& font) const {
    const gfx::FontSpec& described = GetFont();
    font = m_bOwnFont ? m_font : LogFont{};
    font.height = described.height;
    font.weight = described.weight;
    font.italic = described.italic;
    font.faceName = described.face;
    return true;
}

bool CUIHMXStatic::SetFontSpec(int pointSize, bool bold, bool italic, const std::wstring& face) {
    LogFont font;
    font.height = -MulDiv(pointSize, kPixelsPerInch, 72);
    font.weight = bold ? kBold : 0;
    font.italic = italic;
    font.charSet = kDefaultCharSet;
    font.faceName = face;
    return SetLogFont(font);
}

bool CUIHMXStatic::SetBold(bool bold) {
    LogFont font;
    GetLogFont(font);
    font.weight = bold ? kBold : 0;
    return SetLogFont(font);
}

bool CUIHMXStatic::SetItalic(bool italic) {
    LogFont font;
    GetLogFont(font);
    font.italic = italic;
    return SetLogFont(font);
}

bool CUIHMXStatic::SetCharHeight(int height) {
    LogFont font;
    GetLogFont(font);
    font.height = height;
    font.width = 0;
    return SetLogFont(font);
}

bool CUIHMXStatic::SetFaceName(const std::wstring& face) {
    LogFont font;
    GetLogFont(font);
    font.faceName = face;
    return SetLogFont(font);
}

bool CUIHMXStatic::SetRotation(int degrees) {
    LogFont font;
    GetLogFont(font);
    font.escapement = degrees * 10;
    font.orientation = degrees * 10;
    return SetLogFont(font);
}

// The whole top-level window repaints, so the parent's image is drawn again under the new text.
bool CUIHMXStatic::UpdateText(const std::wstring& text) {
    const std::wstring shown = GetWindowText().substr(0, kTextBuffer - 1);
    if (shown == text) return true;
    SetWindowText(text);
    Invalidate();
    return true;
}

void CUIHMXStatic::OnReflectedCtlColor(ui::ControlColors& colors) {
    colors.transparent = m_bTransparent;
    if (!m_bTransparent) colors.background = m_crBack;
    colors.text = m_crText;
    colors.brush =
        m_bTransparent ? ui::ControlColors::Brush::Hollow : ui::ControlColors::Brush::Solid;
    colors.brushColor = m_crBack;
}

void CUIHMXStatic::MakeToolTip() {
    if (m_toolTip.IsCreated() || !m_toolTip.Create(*this)) return;
    m_toolTip.Activate(true);
    m_toolTip.SetMaxTipWidth(kMaxTipWidth);
}

bool CUIHMXStatic::SetTipText(const std::wstring& text, bool activate) {
    MakeToolTip();
    if (m_toolTip.GetToolCount() == 0) m_toolTip.AddTool(*this, GetClientRect(), text, kToolId);
    m_toolTip.UpdateTipText(text, *this, kToolId);
    m_toolTip.Activate(activate);
    return true;
}

bool CUIHMXStatic::ActivateTip(bool activate) {
    if (m_toolTip.GetToolCount() == 0) return false;
    m_toolTip.Activate(activate);
    return true;
}

void CUIHMXStatic::SetHyperlink(bool hyperlink, const std::wstring& target,
                                const std::wstring& parameters) {
    m_bHyperlink = hyperlink;
    m_linkTarget = target;
    m_linkParameters = parameters;
}

bool CUIHMXStatic::PreTranslateMessage(ui::Message& message) {
    MakeToolTip();
    if (m_toolTip.IsCreated()) m_toolTip.RelayEvent(message);
    return Static::PreTranslateMessage(message);
}

void CUIHMXStatic::OnLButtonDown(gfx::Point p) {
    if (m_bLinkClick && m_bHyperlink && !m_linkTarget.empty())
        process::ShellOpen(m_linkTarget, m_linkParameters);
    Static::OnLButtonDown(p);
}

void CUIHMXStatic::OnMouseMove(gfx::Point p) {
    if (m_bHyperlink) Sys().SetCursor(ui::Cursor::Hand);
    Static::OnMouseMove(p);
}

void CUIHMXStatic::OnMouseLeave() {
    if (m_bHyperlink) Sys().SetCursor(ui::Cursor::Arrow);
}
