#include "clock/Clock.h"

#include <time.h>

#include <atomic>
#include <thread>

namespace vesk::clock {
namespace {

class RealClock : public Clock {
public:
    Milliseconds Now() override {
        return std::chrono::duration_cast<Milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    }

    LocalTime LocalNow() override {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        tm parts{};
        localtime_r(&ts.tv_sec, &parts);
        return FromCalendar(parts, static_cast<int>(ts.tv_nsec / 1000000));
    }

    void Sleep(Milliseconds duration) override { std::this_thread::sleep_for(duration); }
};

std::atomic<Clock*> g_current{nullptr};

}  // namespace

LocalTime FromCalendar(const std::tm& parts, int millisecond) {
    return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
            parts.tm_min,         parts.tm_sec,     millisecond};
}

std::int64_t UtcSecondsNow() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return ts.tv_sec;
}

Clock& SystemClock() {
    static RealClock clock;
    return clock;
}

Clock& Current() {
    Clock* clock = g_current.load(std::memory_order_acquire);
    return clock ? *clock : SystemClock();
}

void Install(Clock* clock) {
    g_current.store(clock, std::memory_order_release);
}

}  // namespace vesk::clock
