#pragma once
// One HTTP GET on libcurl's easy interface, with its own handle and buffer, so calls on
// different threads share nothing.

#include <chrono>
#include <string>

namespace vesk::tsp {

// Long enough for any answer of a healthy service; a hung one must not block forever.
inline constexpr std::chrono::milliseconds kRequestTimeout{30000};
inline constexpr std::size_t kMaxUrlLength = 2047;

// The body of a complete transfer answered with a 2xx status; otherwise empty. A URL
// longer than kMaxUrlLength is not sent.
std::string HttpGet(const std::wstring& url, std::chrono::milliseconds timeout = kRequestTimeout);

}  // namespace vesk::tsp
