#include "ContentRange.h"

#include <charconv>

namespace {

constexpr std::string_view kUnit = "bytes ";

// Digits only, up to the end or the stop character, which is consumed.
std::optional<std::uint64_t> TakeNumber(std::string_view& text, char stop) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || next == text.data()) return std::nullopt;
    text.remove_prefix(static_cast<std::size_t>(next - text.data()));
    if (stop != '\0') {
        if (text.empty() || text.front() != stop) return std::nullopt;
        text.remove_prefix(1);
    }
    return value;
}

}  // namespace

std::optional<ContentRange> ParseContentRange(std::string_view value) {
    if (!value.starts_with(kUnit)) return std::nullopt;
    value.remove_prefix(kUnit.size());
    ContentRange range;
    if (value.starts_with("*/")) {
        value.remove_prefix(2);
    } else {
        range.first = TakeNumber(value, '-');
        const auto last = TakeNumber(value, '/');
        if (!range.first || !last || *last < *range.first) return std::nullopt;
        range.last = *last;
    }
    if (value == "*") return range.first ? std::optional(range) : std::nullopt;
    range.total = TakeNumber(value, '\0');
    if (!range.total || !value.empty()) return std::nullopt;
    if (range.first && range.last >= *range.total) return std::nullopt;
    return range;
}
