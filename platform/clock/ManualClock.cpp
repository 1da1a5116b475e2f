#include "clock/ManualClock.h"

#include <time.h>

namespace vesk::clock {

ManualClock::ManualClock(LocalTime start) : m_start(start) {}

Milliseconds ManualClock::Now() {
    std::lock_guard lock(m_mutex);
    return m_now;
}

LocalTime ManualClock::LocalNow() {
    std::lock_guard lock(m_mutex);
    // Let the C library carry milliseconds into seconds, days and months.
    tm parts{};
    parts.tm_year = m_start.year - 1900;
    parts.tm_mon = m_start.month - 1;
    parts.tm_mday = m_start.day;
    parts.tm_hour = m_start.hour;
    parts.tm_min = m_start.minute;
    const long long totalMs = m_start.millisecond + m_now.count();
    parts.tm_sec = m_start.second + static_cast<int>(totalMs / 1000);
    parts.tm_isdst = 0;
    const time_t t = timegm(&parts);
    tm out{};
    gmtime_r(&t, &out);
    return FromCalendar(out, static_cast<int>(totalMs % 1000));
}

void ManualClock::Sleep(Milliseconds duration) {
    std::lock_guard lock(m_mutex);
    m_sleeps.push_back(duration);
    m_now += duration;
}

void ManualClock::Advance(Milliseconds duration) {
    std::lock_guard lock(m_mutex);
    m_now += duration;
}

void ManualClock::SetLocalTime(const LocalTime& time) {
    std::lock_guard lock(m_mutex);
    m_start = time;
    m_now = Milliseconds{0};
}

std::vector<Milliseconds> ManualClock::Sleeps() {
    std::lock_guard lock(m_mutex);
    return m_sleeps;
}

}  // namespace vesk::clock
