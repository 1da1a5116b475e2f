#pragma once
// The one clock every wait and time stamp goes through, so tests can run the shipped
// waits (1 s pauses, 5 s polls, 120 s limits) without waiting for them.
//
// The process-wide clock is the system clock unless a test installs another, or the
// environment asks for one (InstallClockFromEnvironment):
//   VESK_CLOCK=virtual      every sleep returns at once and moves the clock on
//   VESK_CLOCK=pipe:R:W     every sleep writes "sleep MS\n" to descriptor W and returns
//                           when a byte arrives on descriptor R (or R closes), so a test
//                           can hold a child process at a known point.
//   VESK_CLOCK=scaled:N     time runs N times faster than real time, so a child process
//                           that works with real processes still keeps every wait in step.
// Now, LocalNow and Sleep are safe from any thread.

#include <chrono>
#include <cstdint>
#include <ctime>
#include <optional>

namespace vesk::clock {

using Milliseconds = std::chrono::milliseconds;

struct LocalTime {
    int year = 0;
    int month = 0;  // 1-12
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// A calendar time as the C library breaks it down, with the milliseconds it lacks.
LocalTime FromCalendar(const std::tm& parts, int millisecond = 0);

class Clock {
public:
    virtual ~Clock() = default;
    // Monotonic time since an arbitrary start.
    virtual Milliseconds Now() = 0;
    // Wall-clock time in the local time zone.
    virtual LocalTime LocalNow() = 0;
    virtual void Sleep(Milliseconds duration) = 0;
    // How long a span of this clock's time lasts in real time; nothing for a clock that jumps
    // over waits (its Sleep moves it on at once), so a waiter jumps with Sleep instead.
    virtual std::optional<Milliseconds> RealSpan(Milliseconds span) { return span; }
};

Clock& SystemClock();

// The process-wide clock.
Clock& Current();
// Installs a clock for the whole process (nullptr: back to the system clock). The clock
// must outlive its use; install it before other threads start.
void Install(Clock* clock);
// Installs a clock named by VESK_CLOCK, if any. Call once at start-up.
void InstallClockFromEnvironment();

inline Milliseconds Now() {
    return Current().Now();
}
inline LocalTime LocalNow() {
    return Current().LocalNow();
}
// Seconds since 1970-01-01 UTC by the system's calendar clock, for dates that come from
// outside (an expiry); the installed clock does not move it.
std::int64_t UtcSecondsNow();

inline void Sleep(Milliseconds duration) {
    Current().Sleep(duration);
}

}  // namespace vesk::clock
