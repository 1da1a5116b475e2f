#include "ui/System.h"

#include <algorithm>
#include <mutex>

#include "clock/Clock.h"
#include "ui/UiThread.h"

namespace vesk::ui {

namespace {

std::atomic<System*> g_current{nullptr};

// The queue workers reach; a slot of its own, so reading it never touches a system that goes.
std::mutex g_queueMutex;
std::shared_ptr<WorkQueue>& CurrentQueueSlot() {
    static auto* slot = new std::shared_ptr<WorkQueue>();  // never freed: workers outlive statics
    return *slot;
}

}  // namespace

System::System(std::unique_ptr<BackendOps> backend)
    : m_backend(std::move(backend)), m_uiThread(std::this_thread::get_id()) {
    BackendOps* wakes = m_backend.get();
    m_work = std::make_shared<WorkQueue>([wakes] { wakes->Wake(); });
    {
        std::lock_guard lock(g_queueMutex);
        CurrentQueueSlot() = m_work;
    }
    g_current.store(this);
    m_backend->SetCaptionTest([this](Hwnd hwnd, gfx::Point screen) {
        Window* under = WindowAt(screen, hwnd);
        int hit = HTNOWHERE;
        return under && AcceptsInput(under->TopLevel()) && HitTarget(under, screen, hit) &&
               hit == HTCAPTION;
    });
}

System::~System() {
    VESK_DCHECK_UI_THREAD(this);
    // After this no worker reaches the backend or this object; each waiting one returns.
    m_work->Close();
    {
        std::lock_guard lock(g_queueMutex);
        if (CurrentQueueSlot() == m_work) CurrentQueueSlot().reset();
    }
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

std::shared_ptr<WorkQueue> System::CurrentQueue() {
    std::lock_guard lock(g_queueMutex);
    return CurrentQueueSlot();
}

void System::PostQuit(int exitCode) {
    if (const auto queue = CurrentQueue()) queue->PostQuit(exitCode);
}

bool System::RunOnUiThread(const std::function<void()>& call) {
    if (System* system = Current(); system && system->IsUiThread()) {
        call();
        return true;
    }
    const auto queue = CurrentQueue();
    return queue && queue->PostAndWait(0, call);
}

bool System::QuitPosted() const {
    return m_quitting || m_work->QuitPending();
}

int System::ExitCode() const {
    return m_work->ExitCode();
}

void System::SetMainWindow(Window& window) {
    VESK_DCHECK_UI_THREAD(this);
    m_work->SetMainWindow(window.GetHwnd());
}

bool System::Post(Hwnd hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    VESK_DCHECK_UI_THREAD(this);
    if (hwnd == 0) return false;
    return m_work->Post(hwnd, [this, m = Message{hwnd, message, wParam, lParam}] { Dispatch(m); });
}

void System::Invalidate(Hwnd hwnd) {
    VESK_DCHECK_UI_THREAD(this);
    if (Window* w = FromHwnd(hwnd)) w->TopLevel().m_dirty = true;
}

void System::SetAlpha(Hwnd hwnd, std::uint8_t alpha) {
    VESK_DCHECK_UI_THREAD(this);
    ApplyAlpha(hwnd, alpha);
}

void System::ApplyAlpha(Hwnd hwnd, std::uint8_t alpha) {
    Window* w = FromHwnd(hwnd);
    if (!w || w->m_parent || w->m_alpha == alpha) return;
    w->m_alpha = alpha;
    if (w->m_visible) m_backend->Update(ViewOf(*w));
}

// The window and what goes with it: its children and owned windows, to any depth.
std::vector<Hwnd> System::Family(Window& window) const {
    std::vector<Hwnd> family{window.GetHwnd()};
    for (Window* child : window.m_children) {
        const std::vector<Hwnd> more = Family(*child);
        family.insert(family.end(), more.begin(), more.end());
    }
    for (Window* owned : window.m_owned) {
        const std::vector<Hwnd> more = Family(*owned);
        family.insert(family.end(), more.begin(), more.end());
    }
    return family;
}

// A box tied to its owner has nothing left to ask once the owner's loop is ending.
bool System::OwnerLoopEnded(const Window& window) const {
    for (const Window* owner = window.m_owner; owner; owner = owner->m_owner)
        if (owner->m_modalEnded) return true;
    return false;
}

// The ended state is cleared as the loop finishes, not as it starts, so an end asked for
// before the loop runs (a dialog ending itself while it initialises) is kept.
int System::RunModalLoop(Window& window) {
    VESK_DCHECK_UI_THREAD(this);
    if (!window.IsCreated()) return -1;
    const Hwnd hwnd = window.GetHwnd();
    m_modal.push_back(&window);
    RunLoop(
        [&] { return window.m_modalEnded || window.GetHwnd() != hwnd || OwnerLoopEnded(window); },
        std::nullopt);
    m_modal.erase(std::find(m_modal.begin(), m_modal.end(), &window));
    const int result = !m_quitting && window.m_modalEnded ? window.m_modalResult : -1;
    window.m_modalEnded = false;
    window.m_modalResult = -1;
    // Work still waiting for this window or its boxes has no loop left to run it.
    if (window.GetHwnd() == hwnd) m_work->ReleaseWaitingFor(Family(window));
    return result;
}

void System::EndModalLoop(Window& window, int result) {
    VESK_DCHECK_UI_THREAD(this);
    window.m_modalResult = result;
    window.m_modalEnded = true;
}

void System::RunFor(milliseconds span) {
    VESK_DCHECK_UI_THREAD(this);
    const milliseconds until = clock::Now() + span;
    RunLoop([] { return false; }, until);
}

void System::PumpUntilIdle() {
    VESK_DCHECK_UI_THREAD(this);
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
    if (m_work->QuitPending()) {
        m_quitting = true;
        m_work->QuitHandled();
        return true;
    }
    if (std::optional<WorkQueue::Work> work = m_work->TakeNext()) {
        ++m_stats.dispatched;
        (*work)();
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

std::optional<milliseconds> System::NextDeadline(std::optional<milliseconds> until) const {
    std::optional<milliseconds> deadline = until;
    auto consider = [&deadline](milliseconds due) {
        if (!deadline || due < *deadline) deadline = due;
    };
    for (const Timer& t : m_timers) consider(t.due);
    for (const Fade& f : m_fades) consider(f.due);
    if (m_tracking.hoverDue) consider(*m_tracking.hoverDue);
    return deadline;
}

// Waits in the backend, where a worker's wake or input ends the wait, for as long in real time
// as the clock says the span to the next due time lasts. A clock that jumps over waits instead
// jumps straight to that time, once per due time, when nothing else is left to do.
void System::WaitForWork(std::optional<milliseconds> until) {
    const std::optional<milliseconds> deadline = NextDeadline(until);
    ++m_stats.waits;
    if (m_idleObserver) m_idleObserver();
    if (!m_work->Empty() || m_work->QuitPending()) return;
    std::optional<milliseconds> timeout;
    if (deadline) {
        const milliseconds span = std::max(*deadline - clock::Now(), milliseconds(0));
        timeout = clock::Current().RealSpan(span);
        if (!timeout) {
            if (span > milliseconds(0)) clock::Sleep(span);
            timeout = milliseconds(0);
        }
    }
    const std::vector<InputEvent> events = m_backend->Wait(timeout);
    m_input.insert(m_input.end(), events.begin(), events.end());
}

}  // namespace vesk::ui
