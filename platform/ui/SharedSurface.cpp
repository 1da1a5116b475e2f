#include "ui/SharedSurface.h"

#include <utility>

namespace vesk::ui {

gfx::Surface SharedSurface::Exchange(gfx::Surface frame) {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_frame, std::move(frame));
}

bool SharedSurface::Read(const std::function<void(const gfx::Surface&)>& read) const {
    std::lock_guard lock(m_mutex);
    if (m_frame.IsEmpty()) return false;
    read(m_frame);
    return true;
}

// The old frame is freed outside the lock, so a reader never waits for it.
void SharedSurface::Clear() {
    gfx::Surface old;
    {
        std::lock_guard lock(m_mutex);
        old = std::move(m_frame);
    }
}

}  // namespace vesk::ui
