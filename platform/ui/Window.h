#pragma once
// A window of the window system: a top-level window or a child control with an id, drawn by
// its handlers into its top-level window's composed surface. Subclasses override the handlers.
//
// Threads: the UI thread owns every window. PostMessage, Invalidate, SetAlpha, SetTimer and
// KillTimer are safe from any thread and never block. SetWindowText, ShowWindow, MoveWindow,
// EnableWindow, SetFont and SetFocus are safe from any thread: from a worker they run on the UI
// thread while the worker waits. A window may be destroyed (its object deleted) on any thread:
// from a worker its teardown runs on the UI thread while the worker waits. A worker's change
// reaches a window only while it exists. Everything else is for the UI thread only.

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gfx/Canvas.h"
#include "gfx/Font.h"
#include "ui/Messages.h"

namespace vesk::ui {

class System;

// What a parent answers to a control's colour request: text colour, background mode and the
// brush the control's background is filled with.
struct ControlColors {
    enum class Brush { Default, Hollow, Solid };
    gfx::ColorRef text = 0x000000;
    bool transparent = false;
    gfx::ColorRef background = 0xF0F0F0;
    Brush brush = Brush::Default;
    gfx::ColorRef brushColor = 0xF0F0F0;
};

// The text colour of a disabled control.
inline constexpr gfx::ColorRef kGrayText = 0x6D6D6D;

class Window {
public:
    Window();
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // UI thread. A top-level window at a screen rectangle, hidden until shown. With an owner
    // (a popup such as a tooltip) it is destroyed with its owner.
    bool CreateTopLevel(const gfx::Rect& screen, std::wstring text = {}, Window* owner = nullptr);
    // UI thread. A child at a rectangle of the parent's client area.
    bool CreateChild(Window& parent, int id, const gfx::Rect& rect, std::wstring text = {},
                     bool visible = true);
    // UI thread. Destroys the owned windows and the children first; the object stays and may
    // be created again.
    void DestroyWindow();

    // Any thread.
    Hwnd GetHwnd() const { return m_hwnd.load(); }
    bool IsCreated() const { return GetHwnd() != 0; }
    bool PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    void Invalidate();
    // The layered window's opacity (top-level windows); at once on the UI thread.
    void SetAlpha(std::uint8_t alpha);
    // A WM_TIMER every interval until killed; the same id again restarts it. From a worker they
    // take effect when the UI thread gets to them.
    void SetTimer(WPARAM id, std::chrono::milliseconds interval);
    void KillTimer(WPARAM id);

    // Any thread; from a worker they run on the UI thread while it waits.
    void SetWindowText(const std::wstring& text);
    void ShowWindow(bool show);
    void MoveWindow(const gfx::Rect& rect);
    void EnableWindow(bool enable);
    void SetFont(const gfx::FontSpec& font);
    void SetFocus();

    // UI thread.
    std::wstring GetWindowText() const { return m_text; }
    const gfx::FontSpec& GetFont() const { return m_font; }
    int GetDlgCtrlID() const { return m_id; }
    Window* GetParent() const { return m_parent; }
    Window* GetDlgItem(int id) const;
    Window& TopLevel();
    bool IsWindowVisible() const;  // this window and every ancestor shown
    bool IsWindowEnabled() const { return m_enabled; }
    std::uint8_t GetAlpha() const { return m_alpha; }
    // Rectangle in the parent's client coordinates (screen coordinates for a top-level).
    gfx::Rect GetWindowRect() const { return m_rect; }
    gfx::Rect GetClientRect() const { return {0, 0, m_rect.Width(), m_rect.Height()}; }
    gfx::Rect GetScreenRect() const;
    gfx::Point ClientToScreen(gfx::Point p) const;
    gfx::Point ScreenToClient(gfx::Point p) const;
    // A top-level window shows only this rectangle of itself (window coordinates).
    void SetWindowRegion(const gfx::Rect& region);
    std::optional<gfx::Rect> GetWindowRegion() const { return m_region; }
    // Asks for one WM_MOUSEHOVER after the pointer rests for the hover time, and a
    // WM_MOUSELEAVE when it leaves. False when the window does not exist.
    bool TrackMouseEvent(std::chrono::milliseconds hoverTime);
    // The pointer goes to this window until released; disabling or hiding it releases it.
    void SetCapture();
    void ReleaseCapture();
    // The cursor shown over this window unless a handler sets another.
    void SetClassCursor(Cursor cursor) { m_cursor = cursor; }
    // A canvas on this window's client area of the top-level's last composition; for copying
    // what lies under a window. Null before the first composition.
    std::unique_ptr<gfx::Canvas> GetClientCanvas();
    // Sends a message and returns the handler's answer.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    // Handlers, called on the UI thread.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // May change or eat (return true) a message before it is dispatched; called for the target
    // window and then each ancestor.
    virtual bool PreTranslateMessage(Message& message);
    // Fills the background; true when done. The default fills with the brush the window's own
    // colour request answers.
    virtual bool OnEraseBkgnd(gfx::Canvas& dc);
    virtual void OnPaint(gfx::Canvas& dc);
    // The colour request of a child; the default passes it back to the child.
    virtual void OnCtlColor(Window& child, ControlColors& colors);
    // The colour request passed back to this control by its parent.
    virtual void OnReflectedCtlColor(ControlColors& colors);
    virtual int OnNcHitTest(gfx::Point screen);
    // Returns true when it set a cursor itself.
    virtual bool OnSetCursor() { return false; }
    virtual bool OnCommand(int id, int code);
    virtual void OnTimer(WPARAM id);
    virtual void OnMouseMove(gfx::Point) {}
    virtual void OnLButtonDown(gfx::Point) {}
    virtual void OnLButtonUp(gfx::Point) {}
    virtual void OnMouseHover(gfx::Point) {}
    virtual void OnMouseLeave() {}
    // The capture went elsewhere, or was released.
    virtual void OnCaptureChanged() {}
    virtual void OnKeyDown(int) {}
    virtual void OnShowWindow(bool) {}
    virtual void OnDestroy() {}
    // Messages without a handler of their own (WM_USER and above, among others).
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Whether a second quick press arrives as WM_LBUTTONDBLCLK.
    virtual bool WantsDoubleClicks() const { return false; }

protected:
    System& Sys() const { return *m_system; }
    // Any thread. Applies a change to this window: at once on the UI thread or before the window
    // is created; from a worker on the UI thread while the worker waits.
    void ChangeOnUiThread(const std::function<void(Window&)>& change);
    // Any thread. DestroyWindow, from a worker through the UI thread; for destructors.
    void DestroyFromAnyThread();
    // UI thread. Forgets an EndModalLoop from before, for a modal loop about to start.
    void ClearModalEnd() {
        m_modalEnded = false;
        m_modalResult = -1;
    }

private:
    friend class System;
    bool Register(Window* parent, Window* owner, const gfx::Rect& rect, std::wstring text,
                  bool visible);
    void ShowNow(bool show);
    void MoveNow(const gfx::Rect& rect);
    void Paint(gfx::Canvas& dc);

    System* m_system = nullptr;
    std::atomic<Hwnd> m_hwnd{0};
    Window* m_parent = nullptr;
    std::vector<Window*> m_children;
    Window* m_owner = nullptr;
    std::vector<Window*> m_owned;
    int m_id = 0;
    gfx::Rect m_rect;
    std::wstring m_text;
    gfx::FontSpec m_font;
    bool m_visible = false;
    bool m_enabled = true;
    Cursor m_cursor = Cursor::Arrow;
    // Top-level windows only; the alpha is written by the UI thread alone.
    std::optional<gfx::Rect> m_region;
    std::uint8_t m_alpha = 255;
    gfx::Surface m_composed;
    bool m_dirty = true;
    bool m_shownOnce = false;
    // Modal loop state.
    bool m_modalEnded = false;
    int m_modalResult = -1;
};

}  // namespace vesk::ui
