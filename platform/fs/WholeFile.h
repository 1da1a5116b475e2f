#pragma once
// Writes a whole small file in one call: beside its target, then renamed over it, so a reader
// sees the old content or the new one and never a part, and a program started meanwhile never
// inherits it. A replaced file keeps its permissions. Safe from any thread.

#include <string_view>

#include "fs/ReplacementFile.h"

namespace vesk::fs {

bool WriteWholeFile(std::wstring_view path, std::string_view bytes, bool executable = false,
                    ReplacementFile::Durability durability = ReplacementFile::Durability::Lazy);

}  // namespace vesk::fs
