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
    // Whether the client may send another request on the connection: HTTP/1.1 unless it
    // said "Connection: close", HTTP/1.0 only when it said "Connection: keep-alive".
    bool keepAlive = false;
};

// head: everything before the blank line. nullopt when it is no HTTP/1.x request.
std::optional<RequestHead> ParseRequestHead(std::string_view head);

}  // namespace vesk::update_server
