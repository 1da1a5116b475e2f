#pragma once
// The table of operations a window backend fills: presenting composed top-level windows,
// feeding input back, waiting for work and answering message boxes. The core (System) is its
// only caller, on the UI thread, except Wake, which any thread may call.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "gfx/Surface.h"
#include "ui/Messages.h"

namespace vesk::ui {

// What a backend knows of a top-level window.
struct TopLevelView {
    Hwnd hwnd = 0;
    std::wstring title;
    gfx::Rect screen;  // the window's rectangle on the screen
    gfx::Rect region;  // the part of it that shows, in window coordinates
    std::uint8_t alpha = 255;
    bool visible = false;
    bool minimized = false;
    Hwnd owner = 0;          // an owned window shows in no task bar and stays above its owner
    bool takesFocus = true;  // false: showing it never takes the focus (a tooltip)
    const gfx::Surface* icon = nullptr;  // the window's icon, valid for the call only
};

struct InputEvent {
    enum class Kind { MouseMove, ButtonDown, ButtonUp, Key, PointerLeft, Moved };
    Kind kind = Kind::MouseMove;
    Hwnd window = 0;    // the top-level window it arrived at; 0: whichever lies under the point
    gfx::Point screen;  // pointer position, or the new position for Moved
    int clicks = 1;     // 2 for the second press of a double click
    int key = 0;        // virtual-key code for Key
};

// A modal message box as the core describes it to a backend that may answer it unseen.
struct BoxInfo {
    std::wstring title;
    std::wstring text;
    int safeDefault = IDCANCEL;
};

class BackendOps {
public:
    virtual ~BackendOps() = default;

    virtual void Present(const TopLevelView& window, const gfx::Surface& composed) = 0;
    // Geometry, opacity or visibility changed without new pixels.
    virtual void Update(const TopLevelView& window) = 0;
    // The window is going; composed holds its last look.
    virtual void Closed(const TopLevelView& window, const gfx::Surface& composed) = 0;
    virtual void SetCursor(Cursor cursor) = 0;
    virtual gfx::Size ScreenSize() = 0;
    // True when the display itself moves a window dragged by its caption.
    virtual bool DragsWindows() const = 0;
    // An answer for a message box that is not to be shown, or nothing to run it for real.
    virtual std::optional<int> AnswerBox(const BoxInfo& box) = 0;
    // Blocks until Wake, input or the timeout (none: no limit); returns the input that came.
    virtual std::vector<InputEvent> Wait(std::optional<std::chrono::milliseconds> timeout) = 0;
    // Ends a Wait in progress or the next one. Any thread; never blocks.
    virtual void Wake() = 0;
    // The core's answer to whether a screen point of a top-level window is its caption, for a
    // display that drags windows itself. Called on the UI thread.
    virtual void SetCaptionTest(std::function<bool(Hwnd, gfx::Point)> test) { (void)test; }
};

}  // namespace vesk::ui
