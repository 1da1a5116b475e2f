#include "ui/Dialog.h"

#include "ui/Button.h"
#include "ui/Static.h"
#include "ui/System.h"
#include "ui/UiThread.h"

namespace vesk::ui {

namespace {

constexpr int kBaseUnitX = 6;
constexpr int kBaseUnitY = 13;
// A timer id no caller uses: it ends an unseen message box after its first composition.
constexpr WPARAM kAnswerTimer = 0x7FFF'0001;
// The templates' logical face; the dialogs were laid out for the face it stands for.
constexpr std::wstring_view kShellDialogFaces[] = {L"MS Shell Dlg", L"MS Shell Dlg 2"};
constexpr wchar_t kShellDialogStandIn[] = L"Tahoma";

int MulDiv(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    return static_cast<int>((product + (product >= 0 ? denominator / 2 : -denominator / 2)) /
                            denominator);
}

}  // namespace

Dialog::Dialog(DialogTemplate dialogTemplate, Window* parent)
    : m_template(std::move(dialogTemplate)), m_owner(parent) {}

// The controls made here must go while the dialog window still exists.
Dialog::~Dialog() {
    if (!IsCreated()) return;
    VESK_DCHECK_UI_THREAD(SysOrNull());
    DestroyWindow();
}

gfx::FontSpec Dialog::ResolveTemplateFont(gfx::FontSpec font) {
    for (std::wstring_view face : kShellDialogFaces)
        if (font.face == face) font.face = kShellDialogStandIn;
    return font;
}

gfx::Rect Dialog::MapDialogRect(const gfx::Rect& units) {
    return {MulDiv(units.left, kBaseUnitX, 4), MulDiv(units.top, kBaseUnitY, 8),
            MulDiv(units.right, kBaseUnitX, 4), MulDiv(units.bottom, kBaseUnitY, 8)};
}

void Dialog::Bind(int id, Window& control) {
    m_bound[id] = &control;
}

Window& Dialog::ControlFor(const DialogItem& item) {
    Window* control = nullptr;
    if (const auto it = m_bound.find(item.id); it != m_bound.end()) {
        control = it->second;
    } else if (item.kind == DialogItem::Kind::Static ||
               item.kind == DialogItem::Kind::CenteredStatic) {
        control = m_ownControls.emplace_back(std::make_unique<Static>()).get();
    } else {
        control = m_ownControls.emplace_back(std::make_unique<Button>()).get();
    }
    if (auto* label = dynamic_cast<Static*>(control);
        label && item.kind == DialogItem::Kind::CenteredStatic)
        label->SetAlignment(gfx::TextAlign::Center);
    if (auto* button = dynamic_cast<Button*>(control))
        button->SetOwnerDraw(item.kind == DialogItem::Kind::OwnerDrawButton);
    return *control;
}

// A dialog with an owner is its owned window, centred on it; otherwise centred on the screen.
bool Dialog::Build() {
    System* system = System::Current();
    if (!system) return false;
    Window* owner = m_owner && m_owner->IsCreated() ? &m_owner->TopLevel() : nullptr;
    const gfx::Rect size = MapDialogRect({0, 0, m_template.width, m_template.height});
    const gfx::Size screen = system->ScreenSize();
    const gfx::Rect around = owner ? owner->GetWindowRect() : gfx::Rect{0, 0, screen.cx, screen.cy};
    const gfx::Rect at = gfx::Rect::FromXywh(around.left + (around.Width() - size.Width()) / 2,
                                             around.top + (around.Height() - size.Height()) / 2,
                                             size.Width(), size.Height());
    if (!CreateTopLevel(at, m_template.title, owner)) return false;
    SetFont(ResolveTemplateFont(m_template.font));
    DoDataExchange();
    for (const DialogItem& item : m_template.items)
        ControlFor(item).CreateChild(*this, item.id, MapDialogRect(item.units), item.text,
                                     item.visible);
    return true;
}

int Dialog::DoModal() {
    System* system = System::Current();
    if (!system) return -1;
    VESK_DCHECK_UI_THREAD(system);
    if (system->QuitPosted() || !Build()) return -1;
    m_answer.reset();
    if (const std::optional<BoxInfo> box = AsMessageBox()) m_answer = system->AnswerBox(*box);
    // Found again by handle afterwards: the owner may be destroyed while the box runs.
    const Hwnd owner = m_owner ? m_owner->GetHwnd() : 0;
    const bool ownerWasEnabled = owner && m_owner->IsWindowEnabled();
    if (ownerWasEnabled) m_owner->EnableWindow(false);
    ClearModalEnd();
    OnInitDialog();
    ShowWindow(true);
    if (m_answer) SetTimer(kAnswerTimer, std::chrono::milliseconds(1));
    const int result = system->RunModalLoop(*this);
    if (Window* w = system->FromHwnd(owner); w && ownerWasEnabled) w->EnableWindow(true);
    DestroyWindow();
    m_ownControls.clear();
    m_bound.clear();
    return result;
}

void Dialog::EndDialog(int result) {
    VESK_DCHECK_UI_THREAD(SysOrNull());
    if (System* system = System::Current(); system && IsCreated())
        system->EndModalLoop(*this, result);
}

void Dialog::OnTimer(WPARAM id) {
    if (id == kAnswerTimer && m_answer) EndDialog(*m_answer);
}

// Enter and Escape go to the dialog whichever of its controls has the focus.
bool Dialog::PreTranslateMessage(Message& message) {
    if (message.message != WM_KEYDOWN) return false;
    if (message.wParam == VK_RETURN) {
        OnOK();
        return true;
    }
    if (message.wParam == VK_ESCAPE) {
        OnCancel();
        return true;
    }
    return false;
}

bool Dialog::OnCommand(int id, int code) {
    if (code != BN_CLICKED) return false;
    if (id == IDOK)
        OnOK();
    else if (id == IDCANCEL)
        OnCancel();
    else
        return false;
    return true;
}

}  // namespace vesk::ui
