#pragma once
// A window system on the headless backend that runs boxes for real, with a theme of plain
// colours in a temporary program folder and a small string table, so the skinned controls can
// be driven by injected input and read back pixel by pixel.

#include <functional>
#include <map>
#include <string>

#include "SkinSource.h"
#include "TempDir.h"
#include "UiFixture.h"
#include "fs/Paths.h"

namespace vesk::test {

// The theme's colours: each image is one colour (or two, for the strips' frames), so a pixel
// tells which image, and which part of it, is shown.
inline constexpr gfx::Argb kParent = 0xFF102030u;
inline constexpr gfx::Argb kExit = 0xFFC08040u;
inline constexpr gfx::Argb kExitEdge = 0xFF40C080u;  // the exit image's last row and column
inline constexpr gfx::Argb kNormalFrame = 0xFF607080u;
inline constexpr gfx::Argb kHoverFrame = 0xFFA0B0C0u;
inline constexpr gfx::Argb kSingleFrame = 0xFF705030u;
inline constexpr gfx::Argb kTrack = 0xFF202020u;
inline constexpr gfx::Argb kFill = 0xFF2080E0u;

// Boxes are shown and driven, not answered unseen; the test counts the wakes workers cause.
class DrivenBackend : public ui::test::WatchedBackend {
public:
    std::optional<int> AnswerBox(const ui::BoxInfo&) override { return std::nullopt; }
    void Update(const ui::TopLevelView& view) override {
        WatchedBackend::Update(view);
        if (view.visible) alphas[view.hwnd].push_back(view.alpha);
    }
    std::map<ui::Hwnd, std::vector<int>> alphas;  // while shown
};

class SkinFixture : public ui::test::UiFixture {
protected:
    SkinFixture() : UiFixture(std::make_unique<DrivenBackend>()) {
        std::filesystem::create_directories(m_folder / "themes/classic");
        Save("bg-error.png", Solid(393, 190, 0xFF303840u));
        Save("bg_logout.png", Solid(407, 146, 0xFF303840u));
        gfx::Surface exit = Solid(18, 18, kExit);
        for (int i = 0; i < 18; ++i) {
            exit.SetPixel(17, i, kExitEdge);
            exit.SetPixel(i, 17, kExitEdge);
        }
        Save("btn_main_exit.png", std::move(exit));
        Save("btn_main_min.png", Solid(18, 18, kExit));
        Save("btn_logout_cancel.png", Strip(79, 50));
        Save("btn_logout_cancel_long.png", Strip(150, 50));
        Save("single.png", Solid(79, 40, kSingleFrame));
        Save("progress02.png", Solid(304, 12, kTrack));
        Save("progress01.png", Solid(300, 8, kFill));
        UseLanguage(1);
    }
    ~SkinFixture() override { SetSkinSource({}); }

    DrivenBackend& Driven() { return static_cast<DrivenBackend&>(Backend()); }
    void UseLanguage(int language) {
        SetSkinSource({[](std::wstring_view key) { return L"[" + std::wstring(key) + L"]"; },
                       m_folder.wide(), language});
    }
    std::wstring Theme(const char* name) const {
        return fs::WidePath((m_folder / "themes/classic" / name).string());
    }
    // The point at the middle of a window, on the screen.
    static gfx::Point Middle(ui::Window& w) {
        const gfx::Rect r = w.GetClientRect();
        return w.ClientToScreen({r.Width() / 2, r.Height() / 2});
    }
    void Click(ui::Window& w) {
        const gfx::Point p = Middle(w);
        Backend().MoveMouse(p);
        Backend().Press(p);
        Backend().Release(p);
    }
    // Runs the box modally; the first time the loop waits with the box showing, acts on it.
    template <class Box>
    int RunWith(Box& box, const std::function<void(Box&)>& act) {
        bool acted = false;
        Sys().SetIdleObserver([&] {
            if (acted || !box.IsCreated() || !box.IsWindowVisible()) return;
            acted = true;
            act(box);
        });
        const int result = box.DoModal();
        Sys().SetIdleObserver({});
        return result;
    }

private:
    static gfx::Surface Solid(int w, int h, gfx::Argb color) {
        gfx::Surface s(w, h);
        s.Clear(color);
        return s;
    }
    static gfx::Surface Strip(int w, int h) {
        gfx::Surface s = Solid(w, h, kNormalFrame);
        for (int y = h / 2; y < h; ++y)
            for (int x = 0; x < w; ++x) s.SetPixel(x, y, kHoverFrame);
        return s;
    }
    void Save(const char* name, gfx::Surface image) {
        ASSERT_TRUE(image.SavePng((m_folder / "themes/classic" / name).string()));
    }

    TempDir m_folder;
};

// A plain parent painted in one colour, for controls placed on it.
class Panel : public ui::Window {
public:
    bool OnEraseBkgnd(gfx::Canvas& dc) override {
        dc.FillRect(GetClientRect(), kParent);
        return true;
    }
    bool OnCommand(int id, int) override {
        clicks.push_back(id);
        return true;
    }
    std::vector<int> clicks;
};

}  // namespace vesk::test
