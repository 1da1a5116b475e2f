#pragma once
// One release folder of an installation as the packager sees it: every file and folder under
// it with the mode bits and time a package keeps, or the reason the updater could not take it.

#include <cstdint>
#include <string>
#include <vector>

namespace vesk::packager {

struct ReleaseItem {
    std::string name;  // relative, "/" separated, no trailing "/"
    bool folder = false;
    bool empty = false;  // a folder with nothing in it
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // seconds since 1970, UTC
    std::uint32_t mode = 0;     // type and permission bits
    bool readOnly() const { return (mode & 0200) == 0; }
};

struct ReleaseTree {
    std::string root;                // ends with "/"
    std::vector<ReleaseItem> items;  // sorted by name

    const ReleaseItem* Find(const std::string& name) const;
    std::string PathOf(const ReleaseItem& item) const { return root + item.name; }
};

// Empty on success; otherwise what makes the folder unfit for a package (a link, a special
// file, something unreadable, a name or time the updater's archive reader would not take).
std::string ScanRelease(const std::string& folder, ReleaseTree& out);

// Empty when the updater's archive reader takes the name as it is; otherwise why not.
std::string EntryNameProblem(const std::string& name);

}  // namespace vesk::packager
