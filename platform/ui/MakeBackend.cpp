#include "ui/MakeBackend.h"

#include "ui/Backend.h"
#include "ui/headless/HeadlessBackend.h"
#include "ui/sdl/SdlBackend.h"

namespace vesk::ui {

std::unique_ptr<BackendOps> MakeBackend() {
    if (ChosenBackend() == Backend::Sdl) {
        auto sdl = std::make_unique<sdl::SdlBackend>();
        if (sdl->Started()) return sdl;
    }
    return std::make_unique<headless::HeadlessBackend>(headless::OptionsFromEnvironment());
}

}  // namespace vesk::ui
