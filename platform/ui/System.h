#pragma once
// The core of the window system: it owns the windows' registry, the message queue, the timers
// and the modal loops, composes each top-level window into one surface and hands it to the
// backend. Made once, on the thread that becomes the UI thread, and current until it goes.
//
// Threads: Post, PostQuit, Invalidate, SetAlpha, EndModalLoop and RunOnUiThread are safe from
// any thread (all but RunOnUiThread never block; it waits for the UI thread). IsUiThread and
// Current are safe from any thread. Everything else is for the UI thread only.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

#include "ui/BackendOps.h"
#include "ui/Window.h"

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
    ~System();
    System(const System&) = delete;
    System& operator=(const System&) = delete;

    static System* Current();
    bool IsUiThread() const { return std::this_thread::get_id() == m_uiThread; }

    // Any thread, never block. False when the system no longer takes work. SetAlpha takes effect
    // at once on the UI thread, and when the UI thread gets to it from a worker.
    bool Post(Hwnd hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // Ends every modal loop, the innermost first; the loops return -1.
    void PostQuit(int exitCode);
    void Invalidate(Hwnd hwnd);
    void SetAlpha(Hwnd hwnd, std::uint8_t alpha);
    bool QuitPosted() const { return m_quitPosted.load(); }
    int ExitCode() const { return m_exitCode.load(); }

    // Any thread. Runs the call on the UI thread (at once when already there) and waits for
    // it; false when it never ran because the system ended or a quit came first.
    bool RunOnUiThread(const std::function<void()>& call);

    // UI thread. Runs the loop until EndModalLoop for the window or a quit; the window's
    // result, or -1 after a quit. An EndModalLoop that came before the loop ends it at once.
    int RunModalLoop(Window& window);
    // Any thread, never blocks; from a worker it takes effect when the UI thread gets to it,
    // and not at all when the window is gone by then.
    void EndModalLoop(Window& window, int result);
    // UI thread. Runs the loop for a span of clock time (for tests and tools).
    void RunFor(milliseconds span);
    // UI thread. Handles whatever is pending and due, without waiting.
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
    struct PendingCall {
        std::function<void()> call;
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false;
        bool ran = false;
        bool evenAfterQuit = false;  // a window's teardown, which must not be skipped
    };
    // message.hwnd names the window an item is for (0: none); the item goes with that window.
    struct Queued {
        enum class Kind { Message, Call, Task, Invalidate, Alpha, Quit } kind = Kind::Message;
        Message message;
        std::shared_ptr<PendingCall> call;
        std::function<void()> task;  // Kind::Task: runs on the UI thread, nobody waits
    };
    struct Timer {
        Hwnd hwnd;
        WPARAM id;
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

    // Queue and loop (System.cpp).
    bool Enqueue(Queued item);
    // Any thread. RunOnUiThread for a window's change; dropped when the window goes first.
    bool RunOnUiThreadFor(Hwnd hwnd, const std::function<void()>& call, bool evenAfterQuit);
    // Any thread, never blocks: the task runs on the UI thread unless the window goes first.
    bool RunLaterFor(Hwnd hwnd, std::function<void()> task);
    void FinishCall(PendingCall& call, bool ran);
    void FailPendingCalls();
    void DropQueuedFor(Hwnd hwnd);
    void ApplyAlpha(Hwnd hwnd, std::uint8_t alpha);
    void RunLoop(const std::function<bool()>& done, std::optional<milliseconds> until);
    bool DispatchOne();
    bool PollInput();
    void Handle(Queued& item);
    void WaitForWork(std::optional<milliseconds> until);
    std::optional<milliseconds> NextDeadline(std::optional<milliseconds> until) const;

    // Windows, timers and composition (SystemWindows.cpp).
    Hwnd Register(Window& window);
    void Unregister(Window& window);
    void WindowShown(Window& topLevel, bool show);
    void WindowMoved(Window& topLevel);
    TopLevelView ViewOf(const Window& topLevel) const;
    bool PaintDirty();
    void Compose(Window& topLevel);
    void AddTimer(Hwnd hwnd, WPARAM id, milliseconds interval);
    void RemoveTimer(Hwnd hwnd, WPARAM id);
    bool FireDueTimer();
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

    std::mutex m_queueMutex;
    std::deque<Queued> m_queue;
    bool m_ended = false;
    bool m_quitHandled = false;  // under m_queueMutex: calls are refused from then on
    std::atomic<bool> m_quitPosted{false};
    std::atomic<int> m_exitCode{0};
    bool m_quitting = false;  // UI thread: the quit has been handled

    std::unordered_map<Hwnd, Window*> m_windows;
    std::vector<Window*> m_topLevels;  // z-order, the top last
    Hwnd m_nextHwnd = 1;
    std::vector<Timer> m_timers;
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
