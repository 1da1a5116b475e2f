#include "WorkerBoxes.h"

#include "UIMessageBox.h"
#include "UIMessageBoxYN.h"
#include "UpdateTexts.h"

using vesk::ui::Window;

int ShowErrorBox(const vesk::ui::WindowHandle& owner, const wchar_t* textKey,
                 const wchar_t* captionKey) {
    return ShowErrorBoxText(owner, UpdateText(textKey), UpdateText(captionKey));
}

int ShowErrorBoxText(const vesk::ui::WindowHandle& owner, const std::wstring& text,
                     const std::wstring& caption) {
    return owner.RunBox(
        [&](Window& window) { return std::make_unique<CUIMessageBox>(&window, text, caption); });
}

int AskYesNo(const vesk::ui::WindowHandle& window, const std::wstring& text,
             const std::wstring& caption) {
    return window.RunBox(
        [&](Window&) { return std::make_unique<CUIMessageBoxYN>(nullptr, text, caption); });
}
