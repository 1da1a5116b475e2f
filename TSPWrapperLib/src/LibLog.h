#pragma once
// The library's diagnostic log, a file beside the host executable. It is switched off in
// every build, but for refusals; the record and path rules stay so it can be switched on
// for a diagnosis.

#include <string>
#include <string_view>

#include "clock/Clock.h"

namespace vesk::tsp {

inline constexpr bool kLibLogEnabled = false;
inline constexpr std::size_t kLibLogRecordLimit = 2047;

// Appends one record; returns at once while the log is switched off. Safe from any thread.
void LibLog(std::wstring_view message);
// Appends one record whatever the switch says: a refusal on trust grounds (a service port of
// another user, an installer that is not the publisher's) is the only trace of why the
// service was not used. Safe from any thread.
void LibLogRefusal(std::wstring_view message);

// "\n [Y/M/D h:m:s] message" (UTC, no leading zeros), cut to kLibLogRecordLimit characters.
std::wstring FormatLibLogRecord(const clock::LocalTime& utc, std::wstring_view message);
// The log file for a host executable: its folder followed by "Tirsa_TSP_Temp.log".
std::string LibLogPathFor(const std::string& executablePath);

}  // namespace vesk::tsp
