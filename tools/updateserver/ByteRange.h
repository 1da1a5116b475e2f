#pragma once
// What a "Range" request header asks of a file of a known size: the whole file, one byte
// range of it, or nothing it can give.

#include <cstdint>
#include <string_view>

namespace vesk::update_server {

struct ByteRange {
    enum class Kind { kWhole, kPart, kUnsatisfiable };
    Kind kind = Kind::kWhole;
    std::int64_t first = 0;  // kPart: first and last byte, both inclusive
    std::int64_t last = -1;
};

// A header we cannot read, several ranges, another unit or an empty file give the whole
// file, as a server may ignore a Range it does not serve.
ByteRange ParseByteRange(std::string_view header, std::int64_t size);

}  // namespace vesk::update_server
