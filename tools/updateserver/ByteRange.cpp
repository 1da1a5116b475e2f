#include "ByteRange.h"

#include <cctype>
#include <limits>
#include <optional>

namespace vesk::update_server {
namespace {

constexpr std::string_view kUnit = "bytes=";
constexpr std::int64_t kHuge = std::numeric_limits<std::int64_t>::max();

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// Digits only; a number too long for 64 bits saturates, since it lies past any file anyway.
std::optional<std::int64_t> Number(std::string_view digits) {
    if (digits.empty()) return std::nullopt;
    std::int64_t value = 0;
    for (const char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        const int digit = c - '0';
        value = value > (kHuge - digit) / 10 ? kHuge : value * 10 + digit;
    }
    return value;
}

bool StartsWithUnit(std::string_view text) {
    if (text.size() < kUnit.size()) return false;
    for (std::size_t i = 0; i < kUnit.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != kUnit[i]) return false;
    }
    return true;
}

}  // namespace

ByteRange ParseByteRange(std::string_view header, std::int64_t size) {
    const ByteRange whole;
    header = Trimmed(header);
    if (size <= 0 || !StartsWithUnit(header)) return whole;
    const std::string_view range = Trimmed(header.substr(kUnit.size()));
    const std::size_t dash = range.find('-');
    if (dash == std::string_view::npos || range.find(',') != std::string_view::npos) return whole;
    const std::string_view fromText = range.substr(0, dash);
    const std::string_view toText = range.substr(dash + 1);
    const auto from = Number(fromText);
    const auto to = Number(toText);
    if ((!from && !fromText.empty()) || (!to && !toText.empty()) || (!from && !to)) return whole;

    if (!from) {  // the last N bytes
        if (*to == 0) return {ByteRange::Kind::kUnsatisfiable};
        return {ByteRange::Kind::kPart, *to >= size ? 0 : size - *to, size - 1};
    }
    if (to && *to < *from) return whole;
    if (*from >= size) return {ByteRange::Kind::kUnsatisfiable};
    return {ByteRange::Kind::kPart, *from, to && *to < size ? *to : size - 1};
}

}  // namespace vesk::update_server
