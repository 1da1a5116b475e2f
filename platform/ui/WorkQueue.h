#pragma once
// The queue between the window system's threads: work for the UI thread, each item tied to a
// window (or to the system as a whole), the callers waiting for their item, the quit and closed
// states, and the wake of the UI thread. Kept apart from System so it can be read alone.
//
// One lifetime rule for every item: it runs on the UI thread only if the window it is tied to
// still exists when the UI thread takes it; otherwise it is dropped, and a caller waiting for it
// returns at once with "not run". Items are also dropped when the queue closes; waiting items
// when a quit is posted, or when the loop that would have run them ends.
//
// Threads: every method is safe from any thread; TakeNext, Released* and Close are called by the
// UI thread. Held through a shared pointer, so a worker inside a call keeps it alive after the
// window system has gone.

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_set>
#include <vector>

#include "ui/Messages.h"

namespace vesk::ui {

class WorkQueue {
public:
    using Work = std::function<void()>;

    // wake ends the UI thread's wait; it is called under the queue's lock and must not block.
    explicit WorkQueue(std::function<void()> wake);
    WorkQueue(const WorkQueue&) = delete;
    WorkQueue& operator=(const WorkQueue&) = delete;

    // Windows come and go with the UI thread; work for a window not listed is refused.
    void WindowCreated(Hwnd hwnd);
    void WindowGone(Hwnd hwnd);
    bool Exists(Hwnd hwnd) const;
    // The program's main window (0: none), for threads started without an argument.
    void SetMainWindow(Hwnd hwnd);
    Hwnd MainWindow() const;

    // Never blocks. False when refused: the window is gone or the queue closed.
    bool Post(Hwnd tie, Work work);
    // Waits until the UI thread has run the work; false when it never ran (refused, dropped, or
    // released). A quit refuses new waiting work.
    bool PostAndWait(Hwnd tie, Work work);

    // Sets the quit state, which the UI thread sees with QuitPending, and releases every waiting
    // item: no loop runs anything after a quit.
    void PostQuit(int exitCode);
    bool QuitPending() const;
    int ExitCode() const;
    // UI thread: the quit has been handled.
    void QuitHandled();

    // UI thread. The oldest item, or nothing.
    std::optional<Work> TakeNext();
    bool Empty() const;
    // UI thread. Releases the waiting items tied to these windows: no loop will run them.
    void ReleaseWaitingFor(const std::vector<Hwnd>& windows);
    // UI thread, once: refuses everything from now on, releases every waiting caller and stops
    // calling wake.
    void Close();
    bool Closed() const;

private:
    struct Waiter;
    struct Item {
        Hwnd tie = 0;  // 0: the system itself
        Work work;
        std::shared_ptr<Waiter> waiter;  // null: nobody waits
    };
    bool Push(Item item);
    static void Finish(Waiter& waiter, bool ran);

    mutable std::mutex m_mutex;
    std::function<void()> m_wake;
    std::deque<Item> m_items;
    std::unordered_set<Hwnd> m_windows;
    Hwnd m_main = 0;
    bool m_closed = false;
    bool m_quit = false;
    bool m_quitHandled = false;
    int m_exitCode = 0;
};

}  // namespace vesk::ui
