#pragma once
// The core of the window system: it owns the windows' registry, the timers, fades and modal
// loops, runs the work the queue brings, composes each top-level window into one surface and
// hands it to the backend. Made once, on the thread that becomes the UI thread, and current
// until it goes.
//
// Threads: Current, IsUiThread and the static PostQuit and RunOnUiThread are safe from any
// thread, also while or after the system goes. Workers reach windows through WindowHandle only.
// Everything else is for the UI thread, checked in debug builds.

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

#include "ui/BackendOps.h"
#include "ui/Window.h"
#include "ui/WorkQueue.h"

namespace vesk::ui {

using std::chrono::milliseconds;

struct LoopStats {
    long waits = 0;       // times the loop went to wait for work
    long dispatched = 0;  // messages, calls and input handled
    long compositions = 0;
};

class System {
public:
    explicit System(std::unique_ptr<BackendOps> backend);
    // Releases every waiting worker with "not run"; a worker inside a call keeps only the queue.
    ~System();
    System(const System&) = delete;
    System& operator=(const System&) = delete;

    static System* Current();
    bool IsUiThread() const { return std::this_thread::get_id() == m_uiThread; }
    // The current system's queue, kept alive for the caller; null when there is no system.
    static std::shared_ptr<WorkQueue> CurrentQueue();

    // Any thread, never blocks. Ends every modal loop, the innermost first; they return -1.
    static void PostQuit(int exitCode);
    // Any thread. Runs the call on the UI thread (at once when already there) and waits for it;
    // false when it never ran: no system, a quit came first, or the system went.
    static bool RunOnUiThread(const std::function<void()>& call);
    bool QuitPosted() const;
    int ExitCode() const;

    // The window threads without an argument reach through WindowHandle::Main.
    void SetMainWindow(Window& window);

    // Queues a message for the window; false when it does not exist.
    bool Post(Hwnd hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Invalidate(Hwnd hwnd);
    // Every shown top-level window composed again.
    void RepaintAll();
    void SetAlpha(Hwnd hwnd, std::uint8_t alpha);

    // Runs the loop until EndModalLoop for the window, a quit, the window's destruction, or the
    // end of its owner's loop; the window's result, or -1 otherwise. An EndModalLoop that came
    // before the loop ends it at once. Waiting work tied to the window is released as it ends.
    int RunModalLoop(Window& window);
    void EndModalLoop(Window& window, int result);
    // Runs the loop for a span of clock time (for tests and tools).
    void RunFor(milliseconds span);
    // Handles whatever is pending and due, without waiting.
    void PumpUntilIdle();

    void SetCursor(Cursor cursor);
    Cursor CurrentCursor() const { return m_cursor; }
    gfx::Size ScreenSize() { return m_backend->ScreenSize(); }
    Window* FromHwnd(Hwnd hwnd) const;
    // The top-level window's last composition (tests read pixels from it).
    const gfx::Surface* Composed(Hwnd topLevel) const;
    std::optional<int> AnswerBox(const BoxInfo& box) { return m_backend->AnswerBox(box); }
    BackendOps& Backend() { return *m_backend; }
    const LoopStats& Stats() const { return m_stats; }
    // Called each time the loop is about to wait (tests watch for idleness with it).
    void SetIdleObserver(std::function<void()> observer) { m_idleObserver = std::move(observer); }

private:
    friend class Window;
    friend class WindowHandle;
    struct Timer {
        Hwnd hwnd;
        WPARAM id;
        milliseconds interval;
        milliseconds due;
    };
    struct Fade {
        Hwnd hwnd;
        int alpha;  // the next value to set
        int step;
        int to;
        milliseconds interval;
        milliseconds due;
    };
    struct Tracking {
        Hwnd hwnd = 0;
        std::optional<milliseconds> hoverDue;
        milliseconds hoverTime{0};
        gfx::Point point;  // client coordinates of the last move
    };
    struct Drag {
        Hwnd hwnd = 0;
        gfx::Point start;
        gfx::Point windowStart;
    };

    // Loop (System.cpp).
    void ApplyAlpha(Hwnd hwnd, std::uint8_t alpha);
    void RunLoop(const std::function<bool()>& done, std::optional<milliseconds> until);
    bool DispatchOne();
    bool PollInput();
    void WaitForWork(std::optional<milliseconds> until);
    std::optional<milliseconds> NextDeadline(std::optional<milliseconds> until) const;
    bool OwnerLoopEnded(const Window& window) const;
    std::vector<Hwnd> Family(Window& window) const;

    // Windows, timers, fades and composition (SystemWindows.cpp).
    Hwnd Register(Window& window);
    void Unregister(Window& window);
    void WindowShown(Window& topLevel, bool show);
    void WindowMoved(Window& topLevel);
    void RaiseOwned(Window& topLevel);
    TopLevelView ViewOf(const Window& topLevel) const;
    bool PaintDirty();
    void Compose(Window& topLevel);
    void AddTimer(Hwnd hwnd, WPARAM id, milliseconds interval);
    void RemoveTimer(Hwnd hwnd, WPARAM id);
    void StartFade(Hwnd hwnd, int from, int to, int step, milliseconds interval);
    bool FireDueTimer();
    bool StepDueFade(milliseconds now);
    LRESULT Dispatch(Message message);

    // Input (SystemInput.cpp).
    void HandleInput(const InputEvent& event);
    Window* WindowAt(gfx::Point screen, Hwnd hint) const;
    Window* HitTarget(Window* window, gfx::Point screen, int& hit) const;
    void MouseMove(const InputEvent& event);
    void ButtonDown(const InputEvent& event);
    void ButtonUp(const InputEvent& event);
    void Key(const InputEvent& event);
    void LeaveTracked();
    bool AcceptsInput(Window& window) const;
    void StartTracking(Window& window, milliseconds hoverTime);
    // Moves the capture (0: none) and tells the window that loses it.
    void SetCaptureTo(Hwnd hwnd);
    // Takes the capture from the window or any of its descendants.
    void ReleaseCaptureWithin(Window& window);

    std::unique_ptr<BackendOps> m_backend;
    std::thread::id m_uiThread;
    std::shared_ptr<WorkQueue> m_work;
    bool m_quitting = false;  // the quit has been handled

    std::unordered_map<Hwnd, Window*> m_windows;
    std::vector<Window*> m_topLevels;  // z-order, the top last
    std::vector<Timer> m_timers;
    std::vector<Fade> m_fades;
    std::deque<InputEvent> m_input;
    Tracking m_tracking;
    Drag m_drag;
    Hwnd m_capture = 0;
    Hwnd m_focus = 0;
    Hwnd m_lastTarget = 0;
    std::vector<Window*> m_modal;  // modal loops' windows, the innermost last
    Cursor m_cursor = Cursor::Arrow;
    LoopStats m_stats;
    std::function<void()> m_idleObserver;
};

}  // namespace vesk::ui
