#pragma once
// A stop request that interrupts timed waits: a thread that pauses between steps (an animation's
// frame delay) waits here, and whoever stops it does not wait for the pause to run out. The
// wait goes through the process-wide clock, so tests run it without waiting. Safe from any
// thread.

#include <condition_variable>
#include <mutex>

#include "clock/Clock.h"

namespace vesk::clock {

class StopSignal {
public:
    void RequestStop();
    bool StopRequested() const;
    // Clears a request, for a new run.
    void Reset();
    // Waits for the span of clock time; true when a stop request ended it (or came before).
    bool WaitFor(Milliseconds span);

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stop = false;
};

}  // namespace vesk::clock
