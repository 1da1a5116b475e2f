// The core's registry of windows, its timers and the composition of top-level windows.
#include <algorithm>

#include "clock/Clock.h"
#include "ui/System.h"
#include "ui/UiThread.h"

namespace vesk::ui {

namespace {

// Handles are never reused in a process, so a worker's old handle never reaches a newer window.
std::atomic<Hwnd> g_nextHwnd{1};

}  // namespace

Hwnd System::Register(Window& window) {
    const Hwnd hwnd = g_nextHwnd.fetch_add(1);
    m_windows[hwnd] = &window;
    if (!window.m_parent) m_topLevels.push_back(&window);
    m_work->WindowCreated(hwnd);
    return hwnd;
}

void System::Unregister(Window& window) {
    const Hwnd hwnd = window.GetHwnd();
    if (!window.m_parent) {
        m_backend->Closed(ViewOf(window), window.m_composed);
        std::erase(m_topLevels, &window);
    }
    std::erase_if(m_timers, [hwnd](const Timer& t) { return t.hwnd == hwnd; });
    std::erase_if(m_fades, [hwnd](const Fade& f) { return f.hwnd == hwnd; });
    if (m_tracking.hwnd == hwnd) m_tracking = {};
    if (m_capture == hwnd) m_capture = 0;
    if (m_focus == hwnd) m_focus = 0;
    if (m_drag.hwnd == hwnd) m_drag = {};
    m_windows.erase(hwnd);
    m_work->WindowGone(hwnd);
}

Window* System::FromHwnd(Hwnd hwnd) const {
    VESK_DCHECK_UI_THREAD(this);
    const auto it = m_windows.find(hwnd);
    return it == m_windows.end() ? nullptr : it->second;
}

const gfx::Surface* System::Composed(Hwnd topLevel) const {
    VESK_DCHECK_UI_THREAD(this);
    const Window* w = FromHwnd(topLevel);
    return w && !w->m_parent ? &w->m_composed : nullptr;
}

TopLevelView System::ViewOf(const Window& w) const {
    const gfx::Rect all = w.GetClientRect();
    TopLevelView view{w.GetHwnd(), w.m_text,
                      w.m_rect,    w.m_region ? w.m_region->Intersect(all) : all,
                      w.m_alpha,   w.m_visible};
    view.minimized = w.m_minimized;
    view.owner = w.m_owner ? w.m_owner->GetHwnd() : 0;
    view.takesFocus = !w.m_noActivate;
    view.icon = w.m_icon ? &w.m_icon->Pixels() : nullptr;
    return view;
}

void System::WindowShown(Window& topLevel, bool show) {
    if (show) {
        std::erase(m_topLevels, &topLevel);
        m_topLevels.push_back(&topLevel);
        topLevel.m_dirty = true;
        RaiseOwned(topLevel);
    }
    m_backend->Update(ViewOf(topLevel));
}

// Owned windows (a box, a tooltip) stay above their owner when it comes to the top.
void System::RaiseOwned(Window& topLevel) {
    for (Window* owned : topLevel.m_owned) {
        if (!owned->m_visible) continue;
        std::erase(m_topLevels, owned);
        m_topLevels.push_back(owned);
        RaiseOwned(*owned);
    }
}

void System::WindowMoved(Window& topLevel) {
    m_backend->Update(ViewOf(topLevel));
}

void System::SetCursor(Cursor cursor) {
    VESK_DCHECK_UI_THREAD(this);
    if (cursor == m_cursor) return;
    m_cursor = cursor;
    m_backend->SetCursor(cursor);
}

void System::RepaintAll() {
    VESK_DCHECK_UI_THREAD(this);
    for (Window* w : m_topLevels) w->Invalidate();
}

bool System::PaintDirty() {
    for (Window* w : m_topLevels) {
        if (!w->m_dirty || !w->m_visible) continue;
        Compose(*w);
        // A minimised window still paints (its picture may show its icon) but shows nothing.
        if (!w->m_minimized) m_backend->Present(ViewOf(*w), w->m_composed);
        return true;
    }
    return false;
}

// Each window paints into the one surface of its top-level window, children over their
// parent, each clipped to its own rectangle.
void System::Compose(Window& topLevel) {
    ++m_stats.compositions;
    topLevel.m_dirty = false;
    const gfx::Rect client = topLevel.GetClientRect();
    if (topLevel.m_composed.Width() != client.Width() ||
        topLevel.m_composed.Height() != client.Height())
        topLevel.m_composed = gfx::Surface(client.Width(), client.Height());
    else
        topLevel.m_composed.Clear(0);
    struct Painter {
        gfx::Surface& surface;
        void Paint(Window& w, gfx::Point offset, const gfx::Rect& clip) {
            {
                gfx::Canvas dc(surface, offset, clip);
                w.Paint(dc);
            }
            for (Window* child : std::vector<Window*>(w.m_children)) {
                if (!child->m_visible) continue;
                const gfx::Rect area = child->m_rect.Offset(offset.x, offset.y);
                const gfx::Rect childClip = clip.Intersect(area);
                if (!childClip.IsEmpty()) Paint(*child, area.TopLeft(), childClip);
            }
        }
    } painter{topLevel.m_composed};
    painter.Paint(topLevel, {0, 0}, client);
}

void System::AddTimer(Hwnd hwnd, WPARAM id, milliseconds interval) {
    RemoveTimer(hwnd, id);
    interval = std::max(interval, milliseconds(1));
    m_timers.push_back({hwnd, id, interval, clock::Now() + interval});
}

void System::RemoveTimer(Hwnd hwnd, WPARAM id) {
    std::erase_if(m_timers, [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
}

// The first value is set at once; each later one after the interval, the last clamped to the
// target, so a fade can never stop short of it.
void System::StartFade(Hwnd hwnd, int from, int to, int step, milliseconds interval) {
    std::erase_if(m_fades, [hwnd](const Fade& f) { return f.hwnd == hwnd; });
    step = std::max(step, 1);
    interval = std::max(interval, milliseconds(1));
    from = std::clamp(from, 0, 255);
    to = std::clamp(to, 0, 255);
    ApplyAlpha(hwnd, static_cast<std::uint8_t>(from));
    if (from == to) return;
    m_fades.push_back({hwnd, from < to ? from + step : from - step, from < to ? step : -step, to,
                       interval, clock::Now() + interval});
}

bool System::StepDueFade(milliseconds now) {
    auto due =
        std::find_if(m_fades.begin(), m_fades.end(), [now](const Fade& f) { return f.due <= now; });
    if (due == m_fades.end()) return false;
    const bool last = due->step > 0 ? due->alpha >= due->to : due->alpha <= due->to;
    const Hwnd hwnd = due->hwnd;
    const int alpha = last ? due->to : due->alpha;
    if (last) {
        m_fades.erase(due);
    } else {
        due->alpha += due->step;
        due->due = now + due->interval;
    }
    ++m_stats.dispatched;
    ApplyAlpha(hwnd, static_cast<std::uint8_t>(alpha));
    return true;
}

// One due timer, fade step or hover per call, the earliest first, so messages come in between.
bool System::FireDueTimer() {
    const milliseconds now = clock::Now();
    if (StepDueFade(now)) return true;
    if (m_tracking.hoverDue && *m_tracking.hoverDue <= now) {
        m_tracking.hoverDue.reset();
        if (Window* w = FromHwnd(m_tracking.hwnd)) {
            ++m_stats.dispatched;
            Dispatch({w->GetHwnd(), WM_MOUSEHOVER, 0, MakePointParam(m_tracking.point)});
            return true;
        }
    }
    auto due = m_timers.end();
    for (auto it = m_timers.begin(); it != m_timers.end(); ++it)
        if (it->due <= now && (due == m_timers.end() || it->due < due->due)) due = it;
    if (due == m_timers.end()) return false;
    // A late timer fires once, not once for every interval it missed.
    due->due = now + due->interval;
    ++m_stats.dispatched;
    Dispatch({due->hwnd, WM_TIMER, due->id, 0});
    return true;
}

LRESULT System::Dispatch(Message message) {
    Window* target = FromHwnd(message.hwnd);
    if (!target) return 0;
    for (Window* w = target; w; w = w->m_parent)
        if (w->PreTranslateMessage(message)) return 0;
    // A handler above may have destroyed the target.
    target = FromHwnd(message.hwnd);
    return target ? target->WindowProc(message.message, message.wParam, message.lParam) : 0;
}

}  // namespace vesk::ui
