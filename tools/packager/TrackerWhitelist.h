#pragma once
// The tracker's whitelist of a release folder: the info-hashes it may track, one a line.

#include <string>
#include <vector>

namespace vesk::packager {

inline constexpr char kWhitelistName[] = "tracker-whitelist.txt";

// One hash a line, each once, in the order given.
std::string WhitelistText(const std::vector<std::string>& infoHashes);

}  // namespace vesk::packager
