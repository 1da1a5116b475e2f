// Opens a real window on the display with a background and a caption, and saves what the
// window shows as a PNG: sdl_smoke OUTPUT.png BACKGROUND.png. Exit 77 when no display opens.
#include <cstdio>
#include <string>

#include "gfx/Bitmap.h"
#include "ui/Static.h"
#include "ui/System.h"
#include "ui/sdl/SdlBackend.h"

using namespace vesk;

namespace {

constexpr int kSkip = 77;

class Background : public ui::Window {
public:
    gfx::Bitmap image;
    bool OnEraseBkgnd(gfx::Canvas& dc) override {
        dc.DrawImage(image, GetClientRect());
        return true;
    }
    void OnCtlColor(ui::Window&, ui::ControlColors& colors) override {
        colors.text = 0xACACAC;
        colors.brush = ui::ControlColors::Brush::Hollow;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    auto backend = std::make_unique<ui::sdl::SdlBackend>();
    if (!backend->Started()) return kSkip;
    ui::sdl::SdlBackend* sdl = backend.get();
    ui::System system(std::move(backend));
    Background window;
    window.image = gfx::Bitmap::FromFile(argv[2]);
    if (window.image.IsEmpty() || !window.CreateTopLevel({40, 40, 320, 120}, L"Vesk smoke"))
        return 1;
    window.SetFont({L"Tahoma", -13, 700, false});
    ui::Static caption;
    caption.SetAlignment(gfx::TextAlign::Center);
    caption.CreateChild(window, 1000, {10, 30, 270, 60}, L"Updating the client");
    window.SetWindowRegion(window.GetClientRect().Deflate(4));
    window.ShowWindow(true);
    system.RunFor(std::chrono::milliseconds(300));
    const bool saved = sdl->SaveScreenshot(window.GetHwnd(), argv[1]);
    std::printf("screenshot %s: %s\n", saved ? "saved" : "not saved", argv[1]);
    return saved ? 0 : 1;
}
