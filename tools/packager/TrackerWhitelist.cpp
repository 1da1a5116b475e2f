#include "TrackerWhitelist.h"

#include <set>

namespace vesk::packager {

std::string WhitelistText(const std::vector<std::string>& infoHashes) {
    std::set<std::string> seen;
    std::string text;
    for (const std::string& hash : infoHashes) {
        if (seen.insert(hash).second) text += hash + "\n";
    }
    return text;
}

}  // namespace vesk::packager
