#include "clock/StopSignal.h"

namespace vesk::clock {

void StopSignal::RequestStop() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
}

bool StopSignal::StopRequested() const {
    std::lock_guard lock(m_mutex);
    return m_stop;
}

void StopSignal::Reset() {
    std::lock_guard lock(m_mutex);
    m_stop = false;
}

// A clock that jumps over waits moves on at once; any other waits in real time for as long as
// the clock says the span lasts.
bool StopSignal::WaitFor(Milliseconds span) {
    Clock& clock = Current();
    const std::optional<Milliseconds> real = clock.RealSpan(span);
    std::unique_lock lock(m_mutex);
    if (m_stop) return true;
    if (!real) {
        lock.unlock();
        clock.Sleep(span);
        return StopRequested();
    }
    return m_changed.wait_for(lock, *real, [this] { return m_stop; });
}

}  // namespace vesk::clock
