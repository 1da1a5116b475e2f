#pragma once
// One HTTP GET on libcurl's easy interface, with its own handle and buffer, so calls on
// different threads share nothing.

#include <chrono>
#include <cstddef>
#include <string>

#include "net/SocketOwner.h"

namespace vesk::tsp {

// How long a GET may wait: for the connection, and for the next byte once connected. A
// reply that keeps arriving, however slowly, is never cut.
struct HttpLimits {
    std::chrono::milliseconds connect;
    // Whole seconds: a transfer slower than one byte a second for this long is broken off.
    std::chrono::milliseconds stall;
};

// The updater's downloader's rule: a busy service or a slow line fails only once it is dead.
inline constexpr HttpLimits kHttpLimits{std::chrono::seconds(5), std::chrono::seconds(30)};
inline constexpr std::size_t kMaxUrlLength = 2047;
// More than any reply of the service ever holds: a longer one is no reply.
inline constexpr std::size_t kMaxServiceReply = std::size_t{1} << 20;

// Asked once the connection stands and before the request is sent: whether the peer that
// took it may be asked. own is this end of the connection, peer the other.
using ConnectionCheck = bool (*)(const net::TcpEnd& own, const net::TcpEnd& peer);

// The body of a complete transfer answered with a 2xx status; otherwise empty. A URL
// longer than kMaxUrlLength is not sent; a body longer than maxBytes, or a connection the
// check refuses, is a failed transfer. The sockets are close-on-exec, so a program the
// library starts meanwhile inherits none of them.
std::string HttpGet(const std::wstring& url, HttpLimits limits = kHttpLimits,
                    std::size_t maxBytes = kMaxServiceReply, ConnectionCheck check = nullptr);

}  // namespace vesk::tsp
