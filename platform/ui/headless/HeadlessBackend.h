#pragma once
// The backend without a display: windows are composed in memory, tests inject input and read
// pixels, message boxes are answered from VESK_UI_ANSWERS or by their safe default with their
// title and text on standard error, and VESK_UI_SNAPSHOTS=DIR keeps pictures of the windows
// (see Snapshots.h).
//
// Threads: Inject and the Wake of the operation table are safe from any thread; the rest runs
// on the UI thread.

#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>

#include "ui/BackendOps.h"
#include "ui/Snapshots.h"

namespace vesk::ui::headless {

struct Options {
    std::string snapshotFolder;  // empty: no snapshots
    // Answers for message boxes, in order, separated by commas: "ok", "cancel", "yes", "no" or
    // a number. When they run out, each box takes its safe default.
    std::string answers;
    gfx::Size screen{1920, 1080};
};

Options OptionsFromEnvironment();

class HeadlessBackend : public BackendOps {
public:
    explicit HeadlessBackend(Options options = {});

    void Inject(const InputEvent& event);
    void MoveMouse(gfx::Point screen) { Inject({InputEvent::Kind::MouseMove, 0, screen}); }
    void Press(gfx::Point screen, int clicks = 1) {
        Inject({InputEvent::Kind::ButtonDown, 0, screen, clicks});
    }
    void Release(gfx::Point screen) { Inject({InputEvent::Kind::ButtonUp, 0, screen}); }
    void PressKey(int key) { Inject({InputEvent::Kind::Key, 0, {}, 1, key}); }
    void LeavePointer() { Inject({InputEvent::Kind::PointerLeft}); }

    // What the backend was last told of a window (null when never).
    const TopLevelView* View(Hwnd hwnd) const;
    // The icon a window was last given (null when none).
    const gfx::Surface* Icon(Hwnd hwnd) const;
    Cursor LastCursor() const { return m_cursor; }

    void Present(const TopLevelView& window, const gfx::Surface& composed) override;
    void Update(const TopLevelView& window) override;
    void Closed(const TopLevelView& window, const gfx::Surface& composed) override;
    void SetCursor(Cursor cursor) override { m_cursor = cursor; }
    gfx::Size ScreenSize() override { return m_options.screen; }
    bool DragsWindows() const override { return false; }
    std::optional<int> AnswerBox(const BoxInfo& box) override;
    std::vector<InputEvent> Wait(std::optional<std::chrono::milliseconds> timeout) override;
    void Wake() override;

private:
    void Keep(const TopLevelView& window, const gfx::Surface& composed, const char* moment);
    // Keeps the view, its icon copied, since the core's icon lives only for the call.
    void Record(const TopLevelView& window);

    Options m_options;
    std::deque<std::string> m_answers;
    std::unordered_map<Hwnd, TopLevelView> m_views;
    std::unordered_map<Hwnd, gfx::Surface> m_icons;
    Snapshots m_snapshots;
    Cursor m_cursor = Cursor::Arrow;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_woken = false;
    std::vector<InputEvent> m_input;
};

}  // namespace vesk::ui::headless
