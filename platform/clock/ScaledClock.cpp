#include "clock/ScaledClock.h"

#include <time.h>

#include <algorithm>
#include <thread>

namespace vesk::clock {

ScaledClock::ScaledClock(int factor)
    : m_factor(std::max(factor, 1)),
      m_start(std::chrono::steady_clock::now()),
      m_startLocal(SystemClock().LocalNow()) {}

Milliseconds ScaledClock::Now() {
    const auto real = std::chrono::steady_clock::now() - m_start;
    return std::chrono::duration_cast<Milliseconds>(real) * m_factor;
}

LocalTime ScaledClock::LocalNow() {
    tm parts{};
    parts.tm_year = m_startLocal.year - 1900;
    parts.tm_mon = m_startLocal.month - 1;
    parts.tm_mday = m_startLocal.day;
    parts.tm_hour = m_startLocal.hour;
    parts.tm_min = m_startLocal.minute;
    const long long totalMs = m_startLocal.millisecond + Now().count();
    parts.tm_sec = m_startLocal.second + static_cast<int>(totalMs / 1000);
    const time_t t = timegm(&parts);
    tm out{};
    gmtime_r(&t, &out);
    return FromCalendar(out, static_cast<int>(totalMs % 1000));
}

void ScaledClock::Sleep(Milliseconds duration) {
    if (const auto real = RealSpan(duration)) std::this_thread::sleep_for(*real);
}

std::optional<Milliseconds> ScaledClock::RealSpan(Milliseconds span) {
    if (span <= Milliseconds(0)) return Milliseconds(0);
    return Milliseconds((span.count() + m_factor - 1) / m_factor);
}

}  // namespace vesk::clock
