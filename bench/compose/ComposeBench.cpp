// Composes and presents an update-window-sized panel (background image, two image buttons, a
// label, a progress bar) many times on the headless backend; prints the median per frame.
//   compose_bench [FRAMES]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "ui/Button.h"
#include "ui/Static.h"
#include "ui/System.h"
#include "ui/headless/HeadlessBackend.h"

using namespace vesk;

namespace {

gfx::Bitmap Gradient(int width, int height, gfx::Argb tint) {
    gfx::Surface s(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            s.SetPixel(x, y,
                       tint | static_cast<gfx::Argb>((x * 255 / width) << 8 | (y * 255 / height)));
    return gfx::Bitmap(std::move(s));
}

class Panel : public ui::Window {
public:
    gfx::Bitmap background = Gradient(400, 150, 0xFF300000u);
    bool OnEraseBkgnd(gfx::Canvas& dc) override {
        dc.DrawImage(background, GetClientRect());
        return true;
    }
    void OnCtlColor(ui::Window&, ui::ControlColors& colors) override {
        colors.text = 0xACACAC;
        colors.brush = ui::ControlColors::Brush::Hollow;
    }
};

class ImageButton : public ui::Button {
public:
    gfx::Bitmap image = Gradient(79, 50, 0xFF404040u);
    void DrawItem(gfx::Canvas& dc, const ui::DrawItemInfo& item) override {
        dc.DrawImagePart(image, {0, item.itemState & ui::ODS_SELECTED ? 25 : 0, 79, 25}, {0, 0});
        dc.DrawTextCentered(L"Cancel", GetFont(), item.item, 0xFF1F1F1Fu);
    }
};

class Progress : public ui::Window {
public:
    gfx::Bitmap back = Gradient(370, 10, 0xFF202020u), fill = Gradient(366, 6, 0xFF00A000u);
    int position = 0;
    bool OnEraseBkgnd(gfx::Canvas&) override { return true; }
    void OnPaint(gfx::Canvas& dc) override {
        dc.DrawImage(back, gfx::Rect{0, 0, back.Width(), back.Height()});
        dc.DrawImage(fill, gfx::Rect{2, 2, 2 + fill.Width() * position / 100, 2 + fill.Height()});
    }
};

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    ui::System system(std::make_unique<ui::headless::HeadlessBackend>());
    Panel panel;
    panel.CreateTopLevel({0, 0, 400, 150}, L"bench");
    panel.SetFont({L"Tahoma", -12, 700, false});
    ui::Static label;
    label.SetAlignment(gfx::TextAlign::Center);
    label.CreateChild(panel, 1001, {15, 75, 385, 95}, L"Downloading 500KB of 2000KB.");
    ImageButton cancel, exit;
    cancel.SetOwnerDraw(true);
    exit.SetOwnerDraw(true);
    cancel.CreateChild(panel, 1002, {300, 100, 379, 125});
    exit.CreateChild(panel, 1003, {372, 7, 390, 25});
    Progress progress;
    progress.CreateChild(panel, 3, {15, 70, 385, 80});
    panel.ShowWindow(true);
    system.PumpUntilIdle();

    std::vector<double> times;
    times.reserve(frames);
    for (int i = 0; i < frames; ++i) {
        progress.position = i % 101;
        const auto start = std::chrono::steady_clock::now();
        progress.Invalidate();
        system.PumpUntilIdle();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    std::printf("frames: %d, compositions: %ld\n", frames, system.Stats().compositions);
    std::printf("fastest %.3f ms, 90th percentile %.3f ms\n", times.front(),
                times[times.size() * 9 / 10]);
    std::printf("compose: %.3f ms per frame\n", times[times.size() / 2]);
    return 0;
}
