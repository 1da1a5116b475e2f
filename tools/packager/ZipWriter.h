#pragma once
// Writes a package as a ZIP archive the updater's reader unpacks exactly: "/" separated
// names, Unix mode bits together with the DOS read-only bit, and the modification time to
// the second besides the two-second DOS time.

#include <string>

#include "PackagePlan.h"

namespace vesk::packager {

// Empty on success; otherwise what failed. path must not exist or is overwritten.
std::string WriteZip(const PackagePlan& plan, const std::string& path);

}  // namespace vesk::packager
