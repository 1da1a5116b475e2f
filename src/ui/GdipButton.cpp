#include "GdipButton.h"

#include "ColorMatrices.h"
#include "ui/System.h"

using namespace vesk;

namespace {

constexpr std::chrono::milliseconds kHoverTime{1};
constexpr std::chrono::milliseconds kTipDelay{2000};
constexpr int kToolId = 1;

}  // namespace

CGdipButton::CGdipButton() {
    SetOwnerDraw(true);
    SetClassCursor(ui::Cursor::Hand);
}

// The window goes while the looks and the tooltip it uses still exist.
CGdipButton::~CGdipButton() {
    DestroyWindow();
}

bool CGdipButton::LoadNormalImage(const std::wstring& path) {
    m_pStdImage = std::make_unique<CGdiPlusBitmapResource>();
    return m_pStdImage->Load(path);
}

bool CGdipButton::LoadNormalImageResource(const ui::ResourceName& id, std::wstring_view type) {
    m_pStdImage = std::make_unique<CGdiPlusBitmapResource>();
    return m_pStdImage->LoadFromResource(id, type);
}

bool CGdipButton::LoadAlternateImageResource(const ui::ResourceName& id, std::wstring_view type) {
    m_bHaveAltImage = true;
    m_pAltImage = std::make_unique<CGdiPlusBitmapResource>();
    return m_pAltImage->LoadFromResource(id, type);
}

void CGdipButton::SetTipText(const std::wstring& text, bool activate) {
    if (text.empty()) return;
    m_tooltext = text;
    if (!m_pToolTip) {
        auto tip = std::make_unique<ui::ToolTip>();
        if (!tip->Create(*this)) return;
        tip->Activate(true);
        m_pToolTip = std::move(tip);
    }
    if (m_pToolTip->GetToolCount() == 0) m_pToolTip->AddTool(*this, GetClientRect(), text, kToolId);
    m_pToolTip->UpdateTipText(text, *this, kToolId);
    m_pToolTip->SetDelayTime(kTipDelay);
    m_pToolTip->Activate(activate);
}

void CGdipButton::SetImageKind(int kind) {
    m_nCurType = kind;
    m_bDisabledLook = kind == kDisabled;
    Invalidate();
}

void CGdipButton::EnableToggling(bool on) {
    if (!m_bHaveAltImage) return;
    m_bToggle = on;
}

// Asked before every paint; the looks are made once, over what the parent has just painted.
void CGdipButton::OnReflectedCtlColor(ui::ControlColors&) {
    if (m_bLooksReady || !m_pStdImage) return;
    const gfx::Rect client = GetClientRect();
    gfx::Surface background(client.Width(), client.Height());
    if (ui::Window* parent = GetParent())
        if (const std::unique_ptr<gfx::Canvas> under = parent->GetClientCanvas()) {
            gfx::Canvas dc(background);
            dc.Copy(client, *under, GetWindowRect().TopLeft());
        }
    BuildLooks(std::move(background));
}

namespace {

gfx::Surface CopyOf(gfx::Surface& from) {
    gfx::Surface copy(from.Width(), from.Height());
    gfx::Canvas(copy).Copy({0, 0, copy.Width(), copy.Height()}, gfx::Canvas(from), {0, 0});
    return copy;
}

}  // namespace

gfx::Surface CGdipButton::MakeLook(const std::function<void(gfx::Canvas&)>& draw) {
    gfx::Surface look = CopyOf(*m_looks[kBackground]);
    gfx::Canvas dc(look);
    draw(dc);
    return look;
}

void CGdipButton::BuildLooks(gfx::Surface background) {
    if (!m_looks[kBackground]) m_looks[kBackground] = std::move(background);
    const gfx::Bitmap* standard = *m_pStdImage;
    const gfx::Bitmap none;
    const gfx::Bitmap& image = standard ? *standard : none;
    const gfx::Rect imageRect{0, 0, image.Width(), image.Height()};
    auto make = [&](Look look, const gfx::Bitmap& from,
                    const std::function<void(gfx::Canvas&)>& draw) {
        if (!m_looks[look] && !from.IsEmpty()) m_looks[look] = MakeLook(draw);
        if (!m_looks[look]) m_looks[look] = MakeLook([](gfx::Canvas&) {});
    };
    make(kStd, image, [&](gfx::Canvas& dc) { dc.DrawImage(image, gfx::Point{0, 0}); });
    make(kStdPressed, image, [&](gfx::Canvas& dc) { dc.DrawImage(image, gfx::Point{1, 1}); });
    make(kStdHot, image,
         [&](gfx::Canvas& dc) { dc.DrawImageWithMatrix(image, imageRect, HotMatrix); });
    make(kGray, image,
         [&](gfx::Canvas& dc) { dc.DrawImageWithMatrix(image, imageRect, GrayMatrix); });
    if (m_pAltImage && *m_pAltImage) {
        const gfx::Bitmap& alt = *static_cast<gfx::Bitmap*>(*m_pAltImage);
        make(kAlt, alt, [&](gfx::Canvas& dc) { dc.DrawImage(alt, gfx::Point{0, 0}); });
        make(kAltPressed, alt, [&](gfx::Canvas& dc) { dc.DrawImage(alt, gfx::Point{1, 1}); });
        // The alternate image is expected to have the standard image's size.
        make(kAltHot, alt,
             [&](gfx::Canvas& dc) { dc.DrawImageWithMatrix(alt, imageRect, HotMatrix); });
    }
    m_bLooksReady = true;
}

// Without an alternate image the alternate kind shows the standard looks.
gfx::Surface* CGdipButton::LookOf(Look standard, Look alternate) {
    const Look look = m_nCurType == kStandard || !m_looks[alternate] ? standard : alternate;
    return m_looks[look] ? &*m_looks[look] : nullptr;
}

void CGdipButton::DrawItem(gfx::Canvas& dc, const ui::DrawItemInfo& item) {
    const bool selected = (item.itemState & ui::ODS_SELECTED) != 0;
    // Once per press, however often the held button repaints.
    if (selected && !m_bWasSelected && m_bToggle && !m_bDisabledLook)
        m_nCurType = m_nCurType == kStandard ? kAlternate : kStandard;
    m_bWasSelected = selected;
    gfx::Surface* look = nullptr;
    if (m_bDisabledLook)
        look = m_looks[kGray] ? &*m_looks[kGray] : nullptr;
    else if (selected)
        look = LookOf(kStdPressed, kAltPressed);
    else if (m_bHovering)
        look = LookOf(kStdHot, kAltHot);
    else
        look = LookOf(kStd, kAlt);
    if (!look) return;
    dc.Copy(GetClientRect(), gfx::Canvas(*look), {0, 0});
}

bool CGdipButton::PreTranslateMessage(ui::Message& message) {
    // Quick repeated clicks each press the button.
    if (message.message == ui::WM_LBUTTONDBLCLK) message.message = ui::WM_LBUTTONDOWN;
    if (m_pToolTip && m_pToolTip->IsCreated()) m_pToolTip->RelayEvent(message);
    return Button::PreTranslateMessage(message);
}

void CGdipButton::OnMouseMove(gfx::Point p) {
    if (!m_bTracking) m_bTracking = TrackMouseEvent(kHoverTime);
    Sys().SetCursor(ui::Cursor::Hand);
    Button::OnMouseMove(p);
}

void CGdipButton::OnMouseHover(gfx::Point) {
    m_bHovering = true;
    Invalidate();
    SetTipText(m_tooltext, true);
    if (m_pToolTip && m_pToolTip->IsCreated()) m_pToolTip->Update();
}

void CGdipButton::OnMouseLeave() {
    m_bTracking = false;
    m_bHovering = false;
    Invalidate();
    Sys().SetCursor(ui::Cursor::Arrow);
}

void CGdipButton::OnDestroy() {
    m_bTracking = false;
    m_bHovering = false;
}
