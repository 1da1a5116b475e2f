#pragma once
// A clock whose time runs a chosen number of times faster than real time, for scenario tests
// that drive real processes: every pause, poll and timer shrinks by the same factor and every
// wait still blocks, so nothing spins. Safe from any thread.

#include "clock/Clock.h"

namespace vesk::clock {

class ScaledClock : public Clock {
public:
    // factor below 1 counts as 1.
    explicit ScaledClock(int factor);

    Milliseconds Now() override;
    LocalTime LocalNow() override;
    void Sleep(Milliseconds duration) override;
    // Rounded up, so a waiter that wakes is never short of its due time.
    std::optional<Milliseconds> RealSpan(Milliseconds span) override;
    int Factor() const { return m_factor; }

private:
    int m_factor;
    std::chrono::steady_clock::time_point m_start;
    LocalTime m_startLocal;
};

}  // namespace vesk::clock
