#include "ui/UiThread.h"

#include <cstdio>
#include <cstdlib>

#include "ui/System.h"

namespace vesk::ui {

void CheckUiThread(const System* system, const char* method) {
    if (!system || system->IsUiThread()) return;
    std::fprintf(stderr, "%s: a UI-only method called off the UI thread\n", method);
    std::abort();
}

}  // namespace vesk::ui
