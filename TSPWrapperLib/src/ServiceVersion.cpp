#include "ServiceVersion.h"

#include <cstdint>
#include <vector>

namespace vesk::tsp {
namespace {

// A trailing "." adds no part, while ".." gives an empty part between its dots.
std::vector<std::wstring_view> SplitVersion(std::wstring_view version) {
    std::vector<std::wstring_view> parts;
    std::size_t start = 0;
    while (start < version.size()) {
        std::size_t dot = version.find(L'.', start);
        if (dot == std::wstring_view::npos) dot = version.size();
        parts.push_back(version.substr(start, dot - start));
        start = dot + 1;
    }
    return parts;
}

// Saturates instead of overflowing, so a long run of digits still compares as large.
std::uint64_t LeadingNumber(std::wstring_view part) {
    std::uint64_t value = 0;
    for (const wchar_t c : part) {
        if (c < L'0' || c > L'9') break;
        const auto digit = static_cast<std::uint64_t>(c - L'0');
        value = value > (UINT64_MAX - digit) / 10 ? UINT64_MAX : value * 10 + digit;
    }
    return value;
}

}  // namespace

bool IsServiceTooOld(std::wstring_view installed, std::wstring_view minimum) {
    const auto have = SplitVersion(installed);
    const auto need = SplitVersion(minimum);
    for (std::size_t i = 0; i < have.size() && i < need.size(); ++i) {
        const std::uint64_t a = LeadingNumber(have[i]);
        const std::uint64_t b = LeadingNumber(need[i]);
        if (a != b) return a < b;
    }
    return false;
}

}  // namespace vesk::tsp
