#pragma once
// The skinned boxes the update's threads show: made and run on the UI thread while the
// calling thread waits, so the update window keeps painting. Any thread; -1 when the box
// could not run (the window gone, a quit).

#include <string>

#include "ui/WindowHandle.h"

// The error box, owned by the window, with two string-table keys.
int ShowErrorBox(const vesk::ui::WindowHandle& owner, const wchar_t* textKey,
                 const wchar_t* captionKey);
// The error box with texts already made.
int ShowErrorBoxText(const vesk::ui::WindowHandle& owner, const std::wstring& text,
                     const std::wstring& caption);
// The yes/no box without an owner, run by the window's loop; 1 for its OK button.
int AskYesNo(const vesk::ui::WindowHandle& window, const std::wstring& text,
             const std::wstring& caption);
