#pragma once
// The disk token file through which the service checks that a network token's holder runs
// on this machine as this user.

#include <cstddef>

#include "TSPWrapperLib.h"

namespace vesk::tsp {

// The most bytes the file may hold.
inline constexpr std::size_t kDiskTokenLimit = 2047;

enum class DiskTokenWrite {
    Written,
    // The path lies outside the folders the service may name, escapes them with "..", or
    // leads through a link, or what stands there cannot be an earlier token (a program, the
    // service's own above all, or a file larger than any token): whatever answers on the
    // service's port names it.
    Refused,
    Failed,  // nothing written: no path, a token too long, a missing folder, a failed write
};

// Writes exactly the UTF-8 bytes of token.diskToken (no terminator, no line end) to
// token.filePath, as a new file or in place of an earlier token (a regular file without
// execute permission and no larger than a token), but only below the service's registered
// program folder or the local application-data folder, where the service keeps its data. A
// file it creates lets every user read and write it; a file it replaces keeps its permissions.
// A disk token longer than kDiskTokenLimit bytes is refused rather than cut, so the
// service never sees half a token. Safe from any thread.
DiskTokenWrite WriteDiskTokenFile(const TokenInfo& token);

}  // namespace vesk::tsp
