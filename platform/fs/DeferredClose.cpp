#include "fs/DeferredClose.h"

#include <unistd.h>

#include <exception>

namespace vesk::fs {

DeferredClose::DeferredClose(Limits limits) : m_limits(limits) {
    for (int i = 0; i < m_limits.threads; ++i) {
        try {
            m_threads.emplace_back([this] { Run(); });
        } catch (const std::exception&) {
            break;  // fewer threads, or none: Close then closes at once
        }
    }
}

DeferredClose::~DeferredClose() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (std::thread& thread : m_threads) thread.join();
}

void DeferredClose::Close(int fd, std::uint64_t bytes) {
    if (fd < 0) return;
    {
        std::lock_guard lock(m_mutex);
        const bool room = m_queue.size() + m_closing < m_limits.descriptors &&
                          m_heldBytes + bytes <= m_limits.bytes;
        if (!m_threads.empty() && room) {
            m_queue.push_back({fd, bytes});
            m_heldBytes += bytes;
            m_wake.notify_one();
            return;
        }
    }
    close(fd);
}

void DeferredClose::Drain() {
    std::unique_lock lock(m_mutex);
    m_closed.wait(lock, [this] { return m_queue.empty() && m_closing == 0; });
}

void DeferredClose::Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        if (m_queue.empty()) return;  // stopping, and nothing left
        const Held held = m_queue.front();
        m_queue.pop_front();
        ++m_closing;
        lock.unlock();
        close(held.fd);
        lock.lock();
        --m_closing;
        m_heldBytes -= held.bytes;
        m_closed.notify_all();
    }
}

}  // namespace vesk::fs
