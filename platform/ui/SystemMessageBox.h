#pragma once
// The plain system message box with an OK button: SDL's simple message box where a display
// can be opened, otherwise the title and text on standard error. Blocks until dismissed.

#include <string_view>

namespace vesk::ui {

void ShowSystemMessageBox(std::wstring_view text, std::wstring_view caption);

}  // namespace vesk::ui
