#pragma once
// A window as a worker thread reaches it: by handle, through the UI thread. Workers never hold a
// Window; every call here is safe from any thread at any time, also after the window or the
// whole window system is gone, and its result says whether it took effect.
//
// Post, Invalidate, SetAlpha, SetTimer, KillTimer and EndDialog never block: true when queued
// for a window that still existed. SetText, Show, Move, Enable, SetAlignment and RunBox run on
// the UI thread while the caller waits: true when they reached the window. A call that no loop
// will run any more (its window gone, the loop ended, a quit, the system gone) returns at once.

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "gfx/Canvas.h"
#include "ui/Messages.h"

namespace vesk::ui {

class Dialog;
class Window;

class WindowHandle {
public:
    WindowHandle() = default;
    explicit WindowHandle(Hwnd hwnd) : m_hwnd(hwnd) {}
    // UI thread, or before the window is shared with a worker.
    explicit WindowHandle(const Window& window);
    // The program's main window (see System::SetMainWindow); empty when there is none.
    static WindowHandle Main();

    Hwnd Get() const { return m_hwnd; }
    // Whether the window exists now; it may go right after.
    bool Exists() const;

    bool Post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    bool Invalidate() const;
    bool SetAlpha(std::uint8_t alpha) const;
    bool SetTimer(WPARAM id, std::chrono::milliseconds interval) const;
    bool KillTimer(WPARAM id) const;
    bool EndDialog(int result) const;

    bool SetText(const std::wstring& text) const;
    bool Show(bool show) const;
    bool Move(const gfx::Rect& rect) const;
    bool Enable(bool enable) const;
    // For a static control; false for any other window.
    bool SetAlignment(gfx::TextAlign align) const;
    // Makes a box on the UI thread with this window as its owner and runs it modally there while
    // the caller waits. The box's result, or -1 when it never ran or the owner's end ended it.
    using BoxMaker = std::function<std::unique_ptr<Dialog>(Window& owner)>;
    int RunBox(const BoxMaker& make) const;

private:
    bool Queue(std::function<void(Window&)> change) const;
    bool Call(const std::function<bool(Window&)>& change) const;

    Hwnd m_hwnd = 0;
};

}  // namespace vesk::ui
