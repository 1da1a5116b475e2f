#pragma once
// The parts of an HTTP request head the file server acts on.

#include <optional>
#include <string>
#include <string_view>

namespace vesk::update_server {

struct RequestHead {
    std::string method;
    std::string path;  // the target without query or fragment, still percent-encoded
    std::optional<std::string> range;  // the "Range" header's value
};

// head: everything before the blank line. nullopt when it is no HTTP/1.x request.
std::optional<RequestHead> ParseRequestHead(std::string_view head);

}  // namespace vesk::update_server
