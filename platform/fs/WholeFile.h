#pragma once
// Writes a whole small file in one call: beside its target, then renamed over it, so a reader
// sees the old content or the new one and never a part, and a program started meanwhile never
// inherits it. A replaced file keeps its permissions. Reads a whole file through a descriptor
// that no program started meanwhile inherits either. Safe from any thread.

#include <cstddef>
#include <string>
#include <string_view>

#include "fs/ReplacementFile.h"

namespace vesk::fs {

bool WriteWholeFile(std::wstring_view path, std::string_view bytes, bool executable = false,
                    ReplacementFile::Durability durability = ReplacementFile::Durability::Lazy);

enum class WholeFileRead {
    Ok,
    Absent,  // nothing at that path
    Failed,  // there, but unreadable, not a plain file, or larger than allowed
};

// Appends what an open descriptor holds up to its end; false on a read error or once
// `bytes` would grow past maxBytes.
bool ReadToEnd(int fd, std::string& bytes, std::size_t maxBytes);

// The file's bytes into `bytes` (emptied first); never waits on a FIFO put in its place.
WholeFileRead ReadWholeFile(std::wstring_view path, std::string& bytes, std::size_t maxBytes);

}  // namespace vesk::fs
