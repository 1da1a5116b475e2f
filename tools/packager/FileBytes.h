#pragma once
// A whole file read through one descriptor, up to a limit, for what the packager signs or
// checks: the bytes read are the bytes used.

#include <cstddef>
#include <string>

namespace vesk::packager {

enum class ReadStatus { Read, Missing, NotAFile, TooLarge, Unreadable };

struct FileBytes {
    ReadStatus status = ReadStatus::Unreadable;
    std::string bytes;  // when Read
};

FileBytes ReadFileBytes(const std::string& path, std::size_t maxBytes);

}  // namespace vesk::packager
