#pragma once
// The backend on a display: each top-level window is a borderless SDL window showing its
// region of the composed surface, dragged through SDL's hit test, faded through the window's
// opacity, with system cursors; VESK_UI_SNAPSHOTS=DIR keeps pictures of what the windows show
// (see Snapshots.h). Wake is safe from any thread; the rest runs on the UI thread.

#include <memory>
#include <string>
#include <unordered_map>

#include "ui/BackendOps.h"
#include "ui/Snapshots.h"

struct SDL_Window;
struct SDL_Cursor;
union SDL_Event;

namespace vesk::ui::sdl {

class SdlBackend : public BackendOps {
public:
    SdlBackend();
    ~SdlBackend() override;
    bool Started() const { return m_started; }

    void Present(const TopLevelView& window, const gfx::Surface& composed) override;
    void Update(const TopLevelView& window) override;
    void Closed(const TopLevelView& window, const gfx::Surface& composed) override;
    void SetCursor(Cursor cursor) override;
    gfx::Size ScreenSize() override;
    bool DragsWindows() const override { return true; }
    std::optional<int> AnswerBox(const BoxInfo&) override { return std::nullopt; }
    std::vector<InputEvent> Wait(std::optional<std::chrono::milliseconds> timeout) override;
    void Wake() override;
    void SetCaptionTest(std::function<bool(Hwnd, gfx::Point)> test) override;

    // Reads back what the window shows and writes it as a PNG (for the smoke test).
    bool SaveScreenshot(Hwnd hwnd, const std::string& path);
    // Called by SDL's hit test.
    bool IsCaption(SDL_Window* window, gfx::Point inWindow);

private:
    struct Shown {
        SDL_Window* window = nullptr;
        TopLevelView view;
        gfx::Surface icon;  // what the display was last given
    };
    void GiveIcon(Shown& shown, const gfx::Surface* icon);
    Shown* Ensure(const TopLevelView& view);
    void Translate(const SDL_Event& event, std::vector<InputEvent>& input);
    Shown* ByWindowId(unsigned id);

    bool m_started = false;
    std::uint32_t m_wakeEvent = 0;
    std::unordered_map<Hwnd, Shown> m_windows;
    SDL_Cursor* m_arrow = nullptr;
    SDL_Cursor* m_hand = nullptr;
    std::function<bool(Hwnd, gfx::Point)> m_captionTest;
    Snapshots m_snapshots{SnapshotFolderFromEnvironment()};
};

}  // namespace vesk::ui::sdl
