#pragma once
// What stands at one name in a confined folder, seen without following a link there, for
// code that must know what it would write over. Safe from any thread.

#include <cstdint>
#include <string_view>

#include "fs/ConfinedFolder.h"

namespace vesk::fs {

struct FolderEntry {
    enum class Kind { Absent, Link, File, Other, Unknown };
    Kind kind = Kind::Unknown;  // Unknown: the system would not say
    bool executable = false;    // any execute bit
    std::uint64_t size = 0;
    std::uint64_t device = 0;  // with inode, which file it is
    std::uint64_t inode = 0;
};

FolderEntry InspectEntry(const ConfinedFolder& folder, std::wstring_view name);

// True when path (links followed) leads to the very file of entry.
bool IsSameFile(const FolderEntry& entry, std::wstring_view path);

// Every user may read and write the regular file of this user's at name (mode 0666), reached
// without a link; false for anything else.
bool GrantEveryoneReadWrite(const ConfinedFolder& folder, std::wstring_view name);

}  // namespace vesk::fs
