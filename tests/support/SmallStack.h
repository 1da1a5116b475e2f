#pragma once
// Runs work on a thread with a small stack, so that code recursing without bound fails at once
// and the same way everywhere, instead of depending on the size of the main thread's stack.

#include <pthread.h>

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <utility>

namespace vesk::test {

// Far too small for a parser that descends 100,000 times; ample for one that stops at 64.
inline constexpr std::size_t kSmallStack = 256 * 1024;

template <class Work>
auto OnSmallStack(Work work) {
    struct Job {
        Work& work;
        std::optional<decltype(work())> result;
    } job{work, std::nullopt};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, kSmallStack);
    pthread_t thread;
    const int started = pthread_create(
        &thread, &attributes,
        [](void* p) -> void* {
            auto* j = static_cast<Job*>(p);
            j->result.emplace(j->work());
            return nullptr;
        },
        &job);
    pthread_attr_destroy(&attributes);
    if (started != 0) throw std::runtime_error("no thread for the small stack");
    pthread_join(thread, nullptr);
    return std::move(*job.result);
}

}  // namespace vesk::test
