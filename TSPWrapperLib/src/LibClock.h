#pragma once
// The library's waits, on the injectable clock. The library has its own copy of the clock,
// so it takes the one VESK_CLOCK names (clock/Clock.h) when it is loaded; tests set it
// before they load the library.

#include <chrono>

namespace vesk::tsp {

// The period of every poll and the limit of every wait of the service's start-up.
inline constexpr std::chrono::milliseconds kPollPeriod{5000};
inline constexpr std::chrono::milliseconds kStartUpLimit{120000};

// Safe from any thread.
void LibSleep(std::chrono::milliseconds duration);

}  // namespace vesk::tsp
