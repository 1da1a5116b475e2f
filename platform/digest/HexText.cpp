#include "digest/HexText.h"

namespace vesk::digest {
namespace {

constexpr std::string_view kBlanks = " \t\r\n\v\f";

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace

std::string ToHex(const unsigned char* bytes, std::size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(size * 2u);
    for (std::size_t i = 0; i < size; ++i) {
        hex += kDigits[bytes[i] >> 4];
        hex += kDigits[bytes[i] & 0xF];
    }
    return hex;
}

std::optional<std::vector<unsigned char>> ParseHex(std::string_view text, std::size_t byteCount) {
    const std::string_view digits = Trimmed(text);
    if (digits.size() != byteCount * 2u) return std::nullopt;
    try {
        std::vector<unsigned char> bytes(byteCount);
        for (std::size_t i = 0; i < byteCount; ++i) {
            const int high = DigitValue(digits[2 * i]);
            const int low = DigitValue(digits[2 * i + 1]);
            if (high < 0 || low < 0) return std::nullopt;
            bytes[i] = static_cast<unsigned char>(high << 4 | low);
        }
        return bytes;
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace vesk::digest
