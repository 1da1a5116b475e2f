#pragma once
// The backend VESK_UI chooses (see Backend.h), ready for a System. A display that cannot be
// started after all falls back to the headless backend. Call on the thread that becomes the UI
// thread.

#include <memory>

#include "ui/BackendOps.h"

namespace vesk::ui {

std::unique_ptr<BackendOps> MakeBackend();

}  // namespace vesk::ui
