#pragma once
// The clean-up of an entry's stored name: drive letters, leading separators and the
// "\..\" forms that lead upwards are dropped.

#include <string>
#include <string_view>

std::wstring CleanZipEntryName(std::wstring name);

// True when a "\" or "/" separated name has a ".." part, that is, could lead above the
// folder it is taken in.
bool ZipNameLeadsUpwards(std::wstring_view name);
