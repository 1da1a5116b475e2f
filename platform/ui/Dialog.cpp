#include "ui/Dialog.h"

#include "ui/Button.h"
#include "ui/Static.h"
#include "ui/System.h"

namespace vesk::ui {

namespace {

constexpr int kBaseUnitX = 6;
constexpr int kBaseUnitY = 13;
// A timer id no caller uses: it ends an unseen message box after its first composition.
constexpr WPARAM kAnswerTimer = 0x7FFF'0001;

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
    DestroyFromAnyThread();
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

bool Dialog::Build() {
    System* system = System::Current();
    if (!system) return false;
    const gfx::Rect size = MapDialogRect({0, 0, m_template.width, m_template.height});
    const gfx::Size screen = system->ScreenSize();
    const gfx::Rect at =
        gfx::Rect::FromXywh((screen.cx - size.Width()) / 2, (screen.cy - size.Height()) / 2,
                            size.Width(), size.Height());
    if (!CreateTopLevel(at, m_template.title)) return false;
    SetFont(m_template.font);
    DoDataExchange();
    for (const DialogItem& item : m_template.items)
        ControlFor(item).CreateChild(*this, item.id, MapDialogRect(item.units), item.text,
                                     item.visible);
    return true;
}

int Dialog::DoModal() {
    System* system = System::Current();
    if (!system) return -1;
    if (!system->IsUiThread()) {
        int result = -1;
        system->RunOnUiThread([&] { result = DoModal(); });
        return result;
    }
    if (system->QuitPosted() || !Build()) return -1;
    m_answer.reset();
    if (const std::optional<BoxInfo> box = AsMessageBox()) m_answer = system->AnswerBox(*box);
    const bool ownerWasEnabled = m_owner && m_owner->IsWindowEnabled();
    if (ownerWasEnabled) m_owner->EnableWindow(false);
    ClearModalEnd();
    OnInitDialog();
    ShowWindow(true);
    if (m_answer) SetTimer(kAnswerTimer, std::chrono::milliseconds(1));
    const int result = system->RunModalLoop(*this);
    if (ownerWasEnabled) m_owner->EnableWindow(true);
    DestroyWindow();
    m_ownControls.clear();
    m_bound.clear();
    return result;
}

void Dialog::EndDialog(int result) {
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
