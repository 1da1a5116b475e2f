#include "ui/SystemMessageBox.h"

#include <SDL.h>

#include <string>

#include "text/Utf.h"
#include "ui/Backend.h"
#include "ui/StandardErrorBox.h"

namespace vesk::ui {

void ShowSystemMessageBox(std::wstring_view text, std::wstring_view caption) {
    try {
        const std::string caption8 = text::WideToUtf8(caption);
        const std::string text8 = text::WideToUtf8(text);
        if (ChosenBackend() == Backend::Sdl &&
            SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption8.c_str(), text8.c_str(),
                                     nullptr) == 0)
            return;
        WriteBoxToStandardError(caption8, text8);
    } catch (...) {
        // Nothing left to tell the user with.
    }
}

}  // namespace vesk::ui
