#include "SendPace.h"

#include <algorithm>

namespace vesk::update_server {

std::int64_t SendPace::Chunk() const {
    constexpr std::int64_t kLeast = 4 * 1024;
    constexpr std::int64_t kMost = 256 * 1024;
    return std::clamp<std::int64_t>(m_rate / 20, kLeast, kMost);
}

SendPace::Clock::time_point SendPace::Reserve(std::int64_t bytes, Clock::time_point now) {
    std::lock_guard lock(m_mutex);
    const Clock::time_point start = std::max(now, m_next);
    m_next = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                         static_cast<double>(bytes) / static_cast<double>(m_rate)));
    return start;
}

}  // namespace vesk::update_server
