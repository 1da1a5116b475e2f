#pragma once
// How the updater answers a library call that reports a service error, the same at every
// call site: restart the service and call again, or simply call again.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>

#include "TSPWrapperLib.h"

enum class Recovery { kNone, kRestart, kRepeat };

struct RecoveryRow {
    Recovery reaction;
    std::span<const int> codes;
    std::int32_t statusId;  // of a returned record
};

inline constexpr int kRestartCodes[] = {kServiceNoReply, kServiceNotLoggedIn, kServiceLaunchFailed,
                                        kServiceLoginTimedOut, kServiceNoElement};
inline constexpr int kRepeatCodes[] = {kServiceRenewToken};

// Walked in order: the first row that matches decides.
inline constexpr RecoveryRow kRecoveryRows[] = {
    {Recovery::kRestart, kRestartCodes, 905},
    {Recovery::kRepeat, kRepeatCodes, 902},
};

// statusId: the returned record's, when there is one.
constexpr Recovery RecoveryFor(int code, std::optional<std::int32_t> statusId) {
    for (const RecoveryRow& row : kRecoveryRows) {
        if (std::ranges::find(row.codes, code) != row.codes.end() || statusId == row.statusId)
            return row.reaction;
    }
    return Recovery::kNone;
}

template <class Record>
Recovery RecoveryFor(int code, const Record* record) {
    return RecoveryFor(code, record ? std::optional(record->statusId) : std::nullopt);
}
