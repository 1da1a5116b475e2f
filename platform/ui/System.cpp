#include "ui/System.h"

#include <algorithm>

#include "clock/Clock.h"

namespace vesk::ui {

namespace {

std::atomic<System*> g_current{nullptr};

}  // namespace

System::System(std::unique_ptr<BackendOps> backend)
    : m_backend(std::move(backend)), m_uiThread(std::this_thread::get_id()) {
    g_current.store(this);
    m_backend->SetCaptionTest([this](Hwnd hwnd, gfx::Point screen) {
        Window* under = WindowAt(screen, hwnd);
        int hit = HTNOWHERE;
        return under && AcceptsInput(under->TopLevel()) && HitTarget(under, screen, hit) &&
               hit == HTCAPTION;
    });
}

System::~System() {
    {
        std::lock_guard lock(m_queueMutex);
        m_ended = true;
    }
    FailPendingCalls();
    // Windows still alive outlive the system only as objects; they no longer reach it.
    for (auto& [hwnd, window] : m_windows) {
        window->m_hwnd.store(0);
        window->m_system = nullptr;
    }
    System* self = this;
    g_current.compare_exchange_strong(self, nullptr);
}

System* System::Current() {
    return g_current.load();
}

bool System::Enqueue(Queued item) {
    {
        std::lock_guard lock(m_queueMutex);
        if (m_ended) return false;
        // Checked under the lock the quit's handling takes, so no call slips in after it.
        if (item.kind == Queued::Kind::Call && m_quitHandled && !item.call->evenAfterQuit)
            return false;
        m_queue.push_back(std::move(item));
    }
    m_backend->Wake();
    return true;
}

bool System::Post(Hwnd hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (hwnd == 0) return false;
    return Enqueue({Queued::Kind::Message, {hwnd, message, wParam, lParam}, nullptr});
}

void System::PostQuit(int exitCode) {
    m_exitCode.store(exitCode);
    m_quitPosted.store(true);
    Enqueue({Queued::Kind::Quit, {0, WM_QUIT, static_cast<WPARAM>(exitCode), 0}, nullptr});
}

void System::Invalidate(Hwnd hwnd) {
    Enqueue({Queued::Kind::Invalidate, {hwnd, 0, 0, 0}, nullptr});
}

void System::SetAlpha(Hwnd hwnd, std::uint8_t alpha) {
    if (IsUiThread())
        ApplyAlpha(hwnd, alpha);
    else
        Enqueue({Queued::Kind::Alpha, {hwnd, 0, alpha, 0}, nullptr});
}

void System::ApplyAlpha(Hwnd hwnd, std::uint8_t alpha) {
    Window* w = FromHwnd(hwnd);
    if (!w || w->m_parent || w->m_alpha == alpha) return;
    w->m_alpha = alpha;
    if (w->m_visible) m_backend->Update(ViewOf(*w));
}

void System::FinishCall(PendingCall& call, bool ran) {
    std::lock_guard lock(call.mutex);
    call.done = true;
    call.ran = ran;
    call.finished.notify_all();
}

// Workers waiting for the UI thread must not wait for a loop that will never run again; a
// window's teardown still runs, here on the UI thread, so no freed window stays registered.
void System::FailPendingCalls() {
    std::deque<Queued> calls;
    {
        std::lock_guard lock(m_queueMutex);
        for (auto it = m_queue.begin(); it != m_queue.end();) {
            if (it->kind == Queued::Kind::Call) {
                calls.push_back(std::move(*it));
                it = m_queue.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (Queued& item : calls) {
        if (item.call->evenAfterQuit) item.call->call();
        FinishCall(*item.call, item.call->evenAfterQuit);
    }
}

// Queued work for a window that is going would find nothing; waiting workers learn it at once.
void System::DropQueuedFor(Hwnd hwnd) {
    std::deque<Queued> dropped;
    {
        std::lock_guard lock(m_queueMutex);
        for (auto it = m_queue.begin(); it != m_queue.end();) {
            if (it->message.hwnd == hwnd && it->kind != Queued::Kind::Quit) {
                dropped.push_back(std::move(*it));
                it = m_queue.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (Queued& item : dropped)
        if (item.call) FinishCall(*item.call, false);
}

bool System::RunOnUiThread(const std::function<void()>& call) {
    return RunOnUiThreadFor(0, call, false);
}

bool System::RunOnUiThreadFor(Hwnd hwnd, const std::function<void()>& call, bool evenAfterQuit) {
    if (IsUiThread()) {
        call();
        return true;
    }
    if (m_quitPosted.load() && !evenAfterQuit) return false;
    auto pending = std::make_shared<PendingCall>();
    pending->call = call;
    pending->evenAfterQuit = evenAfterQuit;
    if (!Enqueue({Queued::Kind::Call, {hwnd, 0, 0, 0}, pending})) return false;
    std::unique_lock lock(pending->mutex);
    pending->finished.wait(lock, [&] { return pending->done; });
    return pending->ran;
}

bool System::RunLaterFor(Hwnd hwnd, std::function<void()> task) {
    return Enqueue({Queued::Kind::Task, {hwnd, 0, 0, 0}, nullptr, std::move(task)});
}

// The ended state is cleared as the loop finishes, not as it starts, so an end asked for
// before the loop runs (a dialog ending itself while it initialises) is kept.
int System::RunModalLoop(Window& window) {
    m_modal.push_back(&window);
    RunLoop([&] { return window.m_modalEnded; }, std::nullopt);
    m_modal.erase(std::find(m_modal.begin(), m_modal.end(), &window));
    const int result = m_quitting ? -1 : window.m_modalResult;
    window.m_modalEnded = false;
    window.m_modalResult = -1;
    return result;
}

void System::EndModalLoop(Window& window, int result) {
    if (!IsUiThread()) {
        const Hwnd hwnd = window.GetHwnd();
        RunLaterFor(hwnd, [this, hwnd, result] {
            if (Window* w = FromHwnd(hwnd)) EndModalLoop(*w, result);
        });
        return;
    }
    window.m_modalResult = result;
    window.m_modalEnded = true;
}

void System::RunFor(milliseconds span) {
    const milliseconds until = clock::Now() + span;
    RunLoop([] { return false; }, until);
}

void System::PumpUntilIdle() {
    RunLoop([] { return false; }, clock::Now());
}

void System::RunLoop(const std::function<bool()>& done, std::optional<milliseconds> until) {
    while (!m_quitting && !done()) {
        if (DispatchOne()) continue;
        if (PaintDirty()) continue;
        if (FireDueTimer()) continue;
        if (PollInput()) continue;
        if (until && clock::Now() >= *until) break;
        WaitForWork(until);
    }
}

bool System::DispatchOne() {
    std::optional<Queued> item;
    {
        std::lock_guard lock(m_queueMutex);
        if (!m_queue.empty()) {
            item = std::move(m_queue.front());
            m_queue.pop_front();
        }
    }
    if (item) {
        ++m_stats.dispatched;
        Handle(*item);
        return true;
    }
    if (m_input.empty()) return false;
    const InputEvent event = m_input.front();
    m_input.pop_front();
    ++m_stats.dispatched;
    HandleInput(event);
    return true;
}

bool System::PollInput() {
    const std::vector<InputEvent> events = m_backend->Wait(milliseconds(0));
    m_input.insert(m_input.end(), events.begin(), events.end());
    return !events.empty();
}

void System::Handle(Queued& item) {
    switch (item.kind) {
        case Queued::Kind::Message:
            Dispatch(item.message);
            break;
        case Queued::Kind::Call:
            item.call->call();
            FinishCall(*item.call, true);
            break;
        case Queued::Kind::Task:
            item.task();
            break;
        case Queued::Kind::Invalidate:
            if (Window* w = FromHwnd(item.message.hwnd)) w->TopLevel().m_dirty = true;
            break;
        case Queued::Kind::Alpha:
            ApplyAlpha(item.message.hwnd, static_cast<std::uint8_t>(item.message.wParam));
            break;
        case Queued::Kind::Quit:
            m_quitting = true;
            {
                std::lock_guard lock(m_queueMutex);
                m_quitHandled = true;
            }
            FailPendingCalls();
            break;
    }
}

std::optional<milliseconds> System::NextDeadline(std::optional<milliseconds> until) const {
    std::optional<milliseconds> deadline = until;
    auto consider = [&deadline](milliseconds due) {
        if (!deadline || due < *deadline) deadline = due;
    };
    for (const Timer& t : m_timers) consider(t.due);
    if (m_tracking.hoverDue) consider(*m_tracking.hoverDue);
    return deadline;
}

// Sleeps until a message, input or the next due time. With an injected clock the due time is
// reached by sleeping on that clock, so tests run timers without waiting for them.
void System::WaitForWork(std::optional<milliseconds> until) {
    const std::optional<milliseconds> deadline = NextDeadline(until);
    ++m_stats.waits;
    if (m_idleObserver) m_idleObserver();
    {
        std::lock_guard lock(m_queueMutex);
        if (!m_queue.empty()) return;
    }
    const milliseconds now = clock::Now();
    std::vector<InputEvent> events;
    if (deadline && &clock::Current() != &clock::SystemClock()) {
        if (*deadline > now) clock::Sleep(*deadline - now);
        events = m_backend->Wait(milliseconds(0));
    } else {
        std::optional<milliseconds> timeout;
        if (deadline) timeout = std::max(*deadline - now, milliseconds(0));
        events = m_backend->Wait(timeout);
    }
    m_input.insert(m_input.end(), events.begin(), events.end());
}

}  // namespace vesk::ui
