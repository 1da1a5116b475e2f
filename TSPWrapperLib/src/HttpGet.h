#pragma once
// One HTTP GET on libcurl's easy interface, with its own handle and buffer, so calls on
// different threads share nothing.

#include <chrono>
#include <string>

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

// The body of a complete transfer answered with a 2xx status; otherwise empty. A URL
// longer than kMaxUrlLength is not sent. The sockets are close-on-exec, so a program the
// library starts meanwhile inherits none of them.
std::string HttpGet(const std::wstring& url, HttpLimits limits = kHttpLimits);

}  // namespace vesk::tsp
