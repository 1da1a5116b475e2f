#include "ui/SystemMessageBox.h"

#include <SDL.h>

#include <cstdio>
#include <string>

#include "text/Utf.h"
#include "ui/Backend.h"

namespace vesk::ui {

namespace {

constexpr const char* kStandardErrorTitle = "Message box: ";

// One write, so lines from other threads cannot land inside the box's text.
void WriteToStandardError(const std::string& caption, const std::string& text) {
    std::string message = kStandardErrorTitle + caption + "\n" + text;
    if (message.back() != '\n') message += '\n';
    std::fwrite(message.data(), 1, message.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

void ShowSystemMessageBox(std::wstring_view text, std::wstring_view caption) {
    try {
        const std::string caption8 = text::WideToUtf8(caption);
        const std::string text8 = text::WideToUtf8(text);
        if (ChosenBackend() == Backend::Sdl &&
            SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption8.c_str(), text8.c_str(),
                                     nullptr) == 0)
            return;
        WriteToStandardError(caption8, text8);
    } catch (...) {
        // Nothing left to tell the user with.
    }
}

}  // namespace vesk::ui
