#pragma once
// What goes into a package: every file of a release (full package), or what was added or
// changed from one release to the next (update package). Folders appear only when empty,
// since every file entry brings its folders with it.

#include <string>
#include <vector>

#include "ReleaseTree.h"

namespace vesk::packager {

struct PackagePlan {
    const ReleaseTree* tree = nullptr;  // where the entries' data lives
    std::vector<const ReleaseItem*> entries;
    int files = 0;
};

PackagePlan PlanFullPackage(const ReleaseTree& release);

// Empty on success; otherwise why the updater could not bring an installation of previous
// to next with a package (a read-only file that changes, a file that becomes a folder or the
// other way round, a file that cannot be read). Files deleted in next are not represented.
std::string PlanUpdatePackage(const ReleaseTree& previous, const ReleaseTree& next,
                              PackagePlan& out);

}  // namespace vesk::packager
