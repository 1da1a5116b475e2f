#pragma once
// The check that a UI-only method runs on the UI thread: debug builds stop the program with the
// method's name on standard error; release builds compile it away.

namespace vesk::ui {

class System;

// Stops the program when a system exists and this is not its UI thread.
void CheckUiThread(const System* system, const char* method);

}  // namespace vesk::ui

#ifdef NDEBUG
#define VESK_DCHECK_UI_THREAD(system) static_cast<void>(0)
#else
#define VESK_DCHECK_UI_THREAD(system) ::vesk::ui::CheckUiThread((system), __func__)
#endif
