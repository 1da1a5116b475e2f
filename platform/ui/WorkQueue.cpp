#include "ui/WorkQueue.h"

#include <algorithm>

namespace vesk::ui {

struct WorkQueue::Waiter {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool ran = false;
};

WorkQueue::WorkQueue(std::function<void()> wake) : m_wake(std::move(wake)) {}

void WorkQueue::Finish(Waiter& waiter, bool ran) {
    std::lock_guard lock(waiter.mutex);
    waiter.done = true;
    waiter.ran = ran;
    waiter.finished.notify_all();
}

void WorkQueue::WindowCreated(Hwnd hwnd) {
    std::lock_guard lock(m_mutex);
    m_windows.insert(hwnd);
}

// Work for the window would find nothing; its waiting callers learn it now.
void WorkQueue::WindowGone(Hwnd hwnd) {
    std::vector<Item> dropped;
    {
        std::lock_guard lock(m_mutex);
        m_windows.erase(hwnd);
        if (m_main == hwnd) m_main = 0;
        for (auto it = m_items.begin(); it != m_items.end();) {
            if (it->tie == hwnd) {
                dropped.push_back(std::move(*it));
                it = m_items.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (Item& item : dropped)
        if (item.waiter) Finish(*item.waiter, false);
}

bool WorkQueue::Exists(Hwnd hwnd) const {
    std::lock_guard lock(m_mutex);
    return !m_closed && m_windows.contains(hwnd);
}

void WorkQueue::SetMainWindow(Hwnd hwnd) {
    std::lock_guard lock(m_mutex);
    m_main = hwnd;
}

Hwnd WorkQueue::MainWindow() const {
    std::lock_guard lock(m_mutex);
    return m_main;
}

bool WorkQueue::Push(Item item) {
    std::lock_guard lock(m_mutex);
    if (m_closed || (item.tie != 0 && !m_windows.contains(item.tie))) return false;
    // Checked under the lock the quit's handling takes, so no waiting item slips in after it.
    if (item.waiter && m_quit) return false;
    m_items.push_back(std::move(item));
    // Under the lock, so Close cannot free what wake reaches while it runs.
    if (m_wake) m_wake();
    return true;
}

bool WorkQueue::Post(Hwnd tie, Work work) {
    return Push({tie, std::move(work), nullptr});
}

bool WorkQueue::PostAndWait(Hwnd tie, Work work) {
    auto waiter = std::make_shared<Waiter>();
    if (!Push({tie, std::move(work), waiter})) return false;
    std::unique_lock lock(waiter->mutex);
    waiter->finished.wait(lock, [&] { return waiter->done; });
    return waiter->ran;
}

// No loop runs anything after a quit, so the waiting items learn it now.
void WorkQueue::PostQuit(int exitCode) {
    std::vector<Item> released;
    {
        std::lock_guard lock(m_mutex);
        if (m_closed) return;
        if (!m_quit) m_exitCode = exitCode;
        m_quit = true;
        for (auto it = m_items.begin(); it != m_items.end();) {
            if (it->waiter) {
                released.push_back(std::move(*it));
                it = m_items.erase(it);
            } else {
                ++it;
            }
        }
        if (m_wake) m_wake();
    }
    for (Item& item : released) Finish(*item.waiter, false);
}

bool WorkQueue::QuitPending() const {
    std::lock_guard lock(m_mutex);
    return m_quit && !m_quitHandled;
}

int WorkQueue::ExitCode() const {
    std::lock_guard lock(m_mutex);
    return m_exitCode;
}

void WorkQueue::QuitHandled() {
    std::lock_guard lock(m_mutex);
    m_quitHandled = true;
}

std::optional<WorkQueue::Work> WorkQueue::TakeNext() {
    Item item;
    {
        std::lock_guard lock(m_mutex);
        if (m_items.empty()) return std::nullopt;
        item = std::move(m_items.front());
        m_items.pop_front();
    }
    if (!item.waiter) return std::move(item.work);
    return [work = std::move(item.work), waiter = std::move(item.waiter)] {
        work();
        Finish(*waiter, true);
    };
}

bool WorkQueue::Empty() const {
    std::lock_guard lock(m_mutex);
    return m_items.empty();
}

void WorkQueue::ReleaseWaitingFor(const std::vector<Hwnd>& windows) {
    std::vector<Item> released;
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_items.begin(); it != m_items.end();) {
            if (it->waiter && std::find(windows.begin(), windows.end(), it->tie) != windows.end()) {
                released.push_back(std::move(*it));
                it = m_items.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (Item& item : released) Finish(*item.waiter, false);
}

void WorkQueue::Close() {
    std::deque<Item> dropped;
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_wake = nullptr;
        m_windows.clear();
        m_main = 0;
        dropped.swap(m_items);
    }
    for (Item& item : dropped)
        if (item.waiter) Finish(*item.waiter, false);
}

bool WorkQueue::Closed() const {
    std::lock_guard lock(m_mutex);
    return m_closed;
}

}  // namespace vesk::ui
