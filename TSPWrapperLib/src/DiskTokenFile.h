#pragma once
// The disk token file through which the service checks that a network token's holder runs
// on this machine as this user.

#include <cstddef>

#include "TSPWrapperLib.h"

namespace vesk::tsp {

// The most bytes the file may hold.
inline constexpr std::size_t kDiskTokenLimit = 2047;

// Writes exactly the UTF-8 bytes of token.diskToken (no terminator, no line end) to
// token.filePath, replacing the file, and lets every user read and write it. A disk token
// longer than kDiskTokenLimit bytes is refused rather than cut, so the service never sees
// half a token. False when nothing was written.
bool WriteDiskTokenFile(const TokenInfo& token);

}  // namespace vesk::tsp
