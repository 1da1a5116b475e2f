#include "ui/Backend.h"

#include <SDL.h>
#include <stdlib.h>

#include <cstring>

namespace vesk::ui {

namespace {

constexpr const char* kBackendVariable = "VESK_UI";

bool IsSet(const char* variable) {
    const char* value = getenv(variable);
    return value && *value;
}

bool IsDesktopDriver(const char* driver) {
    return driver && (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0);
}

// The variables spare us a connection attempt on machines without a display; the trial
// start of SDL's video confirms one can really be opened. SDL falls back to its off-screen
// driver when the display is unreachable, which shows nothing, so only a desktop driver
// counts. Video is shut down again, so the backend later starts it on its own thread.
bool DisplayCanBeOpened() {
    if (!IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY")) return false;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    const bool desktop = IsDesktopDriver(SDL_GetCurrentVideoDriver());
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return desktop;
}

Backend Decide() {
    const char* wanted = getenv(kBackendVariable);
    if (wanted && std::strcmp(wanted, "sdl") == 0) return Backend::Sdl;
    if (wanted && std::strcmp(wanted, "headless") == 0) return Backend::Headless;
    return DisplayCanBeOpened() ? Backend::Sdl : Backend::Headless;
}

}  // namespace

Backend ChosenBackend() {
    static const Backend chosen = Decide();
    return chosen;
}

}  // namespace vesk::ui
