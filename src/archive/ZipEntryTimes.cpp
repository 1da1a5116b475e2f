#include "ZipEntryTimes.h"

#include <algorithm>
#include <ctime>
#include <mutex>

namespace {

constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
constexpr std::uint64_t kTicksPerSecond = 10000000;
constexpr std::uint16_t kExtendedTimestampId = 0x5455;  // "UT"
constexpr std::size_t kBlockHeaderSize = 4;

std::mutex g_timeZoneLock;

std::uint16_t Read16(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      static_cast<unsigned char>(bytes[at + 1]) << 8);
}

// Unix times in a "UT" block are signed: before 1970 is below zero.
std::int32_t ReadSigned32(std::string_view bytes, std::size_t at) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(Read16(bytes, at)) |
                                     static_cast<std::uint32_t>(Read16(bytes, at + 2)) << 16);
}

// The data of the first "UT" block; empty when there is none.
std::string_view FindExtendedTimestamp(std::string_view extra) {
    std::size_t at = 0;
    while (extra.size() - at >= kBlockHeaderSize) {
        const std::uint16_t id = Read16(extra, at);
        const std::size_t size = Read16(extra, at + 2);
        at += kBlockHeaderSize;
        // A block that claims more than is there ends the walk.
        if (size > extra.size() - at) return {};
        if (id == kExtendedTimestampId) return extra.substr(at, size);
        at += size;
    }
    return {};
}

}  // namespace

ZipFileTime ZipFileTimeFromUnix(std::int64_t seconds) {
    if (seconds < -kSecondsFrom1601To1970) return 0;
    return static_cast<ZipFileTime>(seconds + kSecondsFrom1601To1970) * kTicksPerSecond;
}

std::chrono::system_clock::time_point ZipTimePointOf(ZipFileTime time) {
    using Clock = std::chrono::system_clock;
    using std::chrono::seconds;
    // Whole seconds first, so nothing overflows before the clamp.
    const auto earliest = std::chrono::ceil<seconds>(Clock::time_point::min().time_since_epoch());
    const auto latest = std::chrono::floor<seconds>(Clock::time_point::max().time_since_epoch());
    const std::int64_t unixSeconds =
        static_cast<std::int64_t>(time / kTicksPerSecond) - kSecondsFrom1601To1970;
    if (unixSeconds < earliest.count()) return Clock::time_point(earliest);
    if (unixSeconds >= latest.count()) return Clock::time_point(latest);
    const auto rest = std::chrono::duration<std::int64_t, std::ratio<1, kTicksPerSecond>>(
        static_cast<std::int64_t>(time % kTicksPerSecond));
    return Clock::time_point(std::chrono::duration_cast<Clock::duration>(seconds(unixSeconds)) +
                             std::chrono::duration_cast<Clock::duration>(rest));
}

ZipFileTime ZipFileTimeFromDos(const ZipDosTime& time) {
    std::tm local{};
    local.tm_year = time.year - 1900;
    local.tm_mon = time.month - 1;
    local.tm_mday = time.day;
    local.tm_hour = time.hour;
    local.tm_min = time.minute;
    local.tm_sec = time.second;
    // The zone's own rules decide whether daylight saving applied on that date.
    local.tm_isdst = -1;
    std::time_t utc;
    {
        // The C library locks its time zone state with a lock the race checker cannot see;
        // ours orders the workers that describe entries at once where it can.
        const std::lock_guard<std::mutex> lock(g_timeZoneLock);
        utc = std::mktime(&local);
    }
    if (utc == static_cast<std::time_t>(-1)) return 0;
    return ZipFileTimeFromUnix(utc);
}

void ApplyExtendedTimestamp(std::string_view extra, ZipEntry& entry) {
    const std::string_view block = FindExtendedTimestamp(extra);
    if (block.empty()) return;
    const unsigned flags = static_cast<unsigned char>(block[0]);
    ZipFileTime* const targets[] = {&entry.modificationTime, &entry.accessTime,
                                    &entry.creationTime};
    std::size_t at = 1;
    for (unsigned bit = 0; bit < 3; ++bit) {
        if ((flags & (1u << bit)) == 0) continue;
        if (block.size() - at < 4) return;
        *targets[bit] = ZipFileTimeFromUnix(ReadSigned32(block, at));
        at += 4;
    }
}
