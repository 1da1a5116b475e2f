#pragma once
// A window of the window system: a top-level window or a child control with an id, drawn by
// its handlers into its top-level window's composed surface. Subclasses override the handlers.
//
// Threads: the UI thread owns every window; it alone creates, changes and destroys them, which
// debug builds check. GetHwnd and IsCreated are safe from any thread. Workers never hold a
// window: they reach it by handle through WindowHandle. An object that is not created may be
// made and freed on any thread.

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gfx/Bitmap.h"
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

// The text colour of a disabled control (the system's grey text).
inline constexpr gfx::ColorRef kGrayText = 0x6D6D6D;

class Window {
public:
    Window();
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // A top-level window at a screen rectangle, hidden until shown. With an owner (a box, a
    // tooltip) it stays above the owner, shows in no task bar and is destroyed with it.
    bool CreateTopLevel(const gfx::Rect& screen, std::wstring text = {}, Window* owner = nullptr);
    // A child at a rectangle of the parent's client area.
    bool CreateChild(Window& parent, int id, const gfx::Rect& rect, std::wstring text = {},
                     bool visible = true);
    // Destroys the owned windows and the children first; the object stays and may be created
    // again.
    void DestroyWindow();

    // Any thread.
    Hwnd GetHwnd() const { return m_hwnd.load(); }
    bool IsCreated() const { return GetHwnd() != 0; }

    // UI thread from here on.
    bool PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    void Invalidate();
    // The layered window's opacity (top-level windows).
    void SetAlpha(std::uint8_t alpha);
    // A layered window shows nothing (alpha 0) until SetAlpha or a fade gives it an opacity.
    void SetLayered();
    // Steps the opacity from one value to another, one step each interval, the last clamped to
    // the target; ends early when the window goes, and a new fade replaces a running one.
    void Fade(std::uint8_t from, std::uint8_t to, int step, std::chrono::milliseconds interval);
    // A WM_TIMER every interval until killed; the same id again restarts it.
    void SetTimer(WPARAM id, std::chrono::milliseconds interval);
    void KillTimer(WPARAM id);

    void SetWindowText(const std::wstring& text);
    void ShowWindow(bool show);
    // A top-level window minimised shows nothing and takes no input until shown again; it still
    // paints when invalidated, so its picture may show its icon.
    void MinimizeWindow();
    bool IsIconic() const;
    void MoveWindow(const gfx::Rect& rect);
    void EnableWindow(bool enable);
    void SetFont(const gfx::FontSpec& font);
    void SetFocus();
    // The icon a top-level window shows where the display shows icons.
    void SetIcon(gfx::Bitmap icon);
    const gfx::Bitmap* GetIcon() const;
    // A window that never takes the focus when shown (a tooltip).
    void SetNoActivate(bool noActivate);

    std::wstring GetWindowText() const;
    const gfx::FontSpec& GetFont() const;
    int GetDlgCtrlID() const { return m_id; }
    Window* GetParent() const { return m_parent; }
    Window* GetOwner() const { return m_owner; }
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
    System* SysOrNull() const { return m_system; }
    // Forgets an EndModalLoop from before, for a modal loop about to start.
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
    bool m_minimized = false;
    bool m_noActivate = false;
    std::unique_ptr<gfx::Bitmap> m_icon;
    gfx::Surface m_composed;
    bool m_dirty = true;
    bool m_shownOnce = false;
    // Modal loop state.
    bool m_modalEnded = false;
    int m_modalResult = -1;
};

}  // namespace vesk::ui
