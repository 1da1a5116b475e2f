#pragma once
// Closes descriptors on threads of its own. Closing the last hold on a file that was renamed
// over frees its blocks, and a file system that discards freed blocks at once waits on the
// device there, a quarter of a millisecond per file or more: a writer replacing many files
// hands those holds here and goes on writing. What is held is bounded in count and bytes, so
// the space of replaced files comes back soon; past the bounds, or when no thread could be
// started, a descriptor is closed at once. Safe from any thread.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace vesk::fs {

class DeferredClose {
public:
    struct Limits {
        int threads = 2;
        std::size_t descriptors = 64;
        std::uint64_t bytes = 64ull << 20;
    };

    DeferredClose() : DeferredClose(Limits{}) {}
    explicit DeferredClose(Limits limits);
    DeferredClose(const DeferredClose&) = delete;
    DeferredClose& operator=(const DeferredClose&) = delete;
    // Closes what is still held, then ends its threads.
    ~DeferredClose();

    // Takes fd (ignored when negative); bytes is what closing it may free.
    void Close(int fd, std::uint64_t bytes);
    // Returns once everything handed over so far is closed: space a writer ran out of may
    // have been waiting there.
    void Drain();

private:
    struct Held {
        int fd;
        std::uint64_t bytes;
    };
    void Run();

    const Limits m_limits;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_closed;
    std::deque<Held> m_queue;
    std::size_t m_closing = 0;  // taken off the queue, not yet closed
    std::uint64_t m_heldBytes = 0;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

}  // namespace vesk::fs
