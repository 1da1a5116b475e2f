#pragma once
// A clock for tests and for VESK_CLOCK=virtual: time stands still until a sleep or the
// owner moves it; a sleep returns at once after moving it on. Safe from any thread.

#include <mutex>
#include <vector>

#include "clock/Clock.h"

namespace vesk::clock {

class ManualClock : public Clock {
public:
    explicit ManualClock(LocalTime start = {2027, 3, 1, 9, 5, 3, 7});

    Milliseconds Now() override;
    LocalTime LocalNow() override;
    void Sleep(Milliseconds duration) override;
    std::optional<Milliseconds> RealSpan(Milliseconds) override { return std::nullopt; }

    void Advance(Milliseconds duration);
    void SetLocalTime(const LocalTime& time);
    // Every sleep asked for so far, in order.
    std::vector<Milliseconds> Sleeps();

private:
    std::mutex m_mutex;
    Milliseconds m_now{0};
    LocalTime m_start;
    std::vector<Milliseconds> m_sleeps;
};

}  // namespace vesk::clock
