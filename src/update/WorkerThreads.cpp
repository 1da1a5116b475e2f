#include "WorkerThreads.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

struct RunningThreads {
    std::mutex mutex;
    std::condition_variable ended;
    int count = 0;
};

std::atomic<bool> g_refuseStarts{false};

// Never destroyed: a detached thread may still count itself out while the process ends.
RunningThreads& Running() {
    static auto* running = new RunningThreads;
    return *running;
}

void CountOut() {
    RunningThreads& running = Running();
    std::lock_guard lock(running.mutex);
    if (--running.count == 0) running.ended.notify_all();
}

}  // namespace

bool StartDetachedThread(std::function<void()> body) {
    if (g_refuseStarts.load()) return false;
    RunningThreads& running = Running();
    {
        std::lock_guard lock(running.mutex);
        ++running.count;
    }
    try {
        std::thread([body = std::move(body)]() mutable {
            body();
            body = nullptr;  // what the step held goes before it counts as ended
            CountOut();
        }).detach();
        return true;
    } catch (const std::system_error&) {
        CountOut();
        return false;
    }
}

void WaitForDetachedThreads() {
    RunningThreads& running = Running();
    std::unique_lock lock(running.mutex);
    running.ended.wait(lock, [&] { return running.count == 0; });
}

void RefuseThreadStartsForTesting(bool refuse) {
    g_refuseStarts.store(refuse);
}
