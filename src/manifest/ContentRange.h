#pragma once
// The Content-Range header of a ranged answer: "bytes FIRST-LAST/TOTAL" for a slice, and
// "bytes */TOTAL" for a range the server could not satisfy.

#include <cstdint>
#include <optional>
#include <string_view>

struct ContentRange {
    // The slice's first and last byte; absent for "*".
    std::optional<std::uint64_t> first;
    std::uint64_t last = 0;
    // The whole file's size; absent for "*".
    std::optional<std::uint64_t> total;
};

// nullopt for anything but a well-formed value in bytes whose slice lies inside its total.
std::optional<ContentRange> ParseContentRange(std::string_view value);
