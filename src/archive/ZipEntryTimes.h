#pragma once
// The times an entry records: its DOS date and time (local time, two-second steps) and the
// exact Unix times of an extended-timestamp block in its local extra field.

#include <chrono>
#include <cstdint>
#include <string_view>

#include "ZipArchive.h"

struct ZipDosTime {
    int year = 1980;
    int month = 1;  // 1-12
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The DOS time read as local time, in UTC; 0 when it cannot be placed.
ZipFileTime ZipFileTimeFromDos(const ZipDosTime& time);

ZipFileTime ZipFileTimeFromUnix(std::int64_t seconds);

// The file time as a point of the system clock, held to the span that clock can count
// (about 1678 to 2262): a file time reaches back to 1601 and far beyond 2262.
std::chrono::system_clock::time_point ZipTimePointOf(ZipFileTime time);

// Replaces each time that the first "UT" block of extra carries.
void ApplyExtendedTimestamp(std::string_view extra, ZipEntry& entry);
