#include "text/Number.h"

#include <charconv>
#include <climits>
#include <cstdint>
#include <cwctype>
#include <string>

namespace vesk::text {
namespace {

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// Blanks as the C run-time skips them, decided without the locale so results never depend
// on it.
bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

}  // namespace

int ParseDecimalInt(std::wstring_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    // Accumulated one past INT_MAX at most, so the sum can neither overflow nor lose the
    // INT_MIN case.
    constexpr std::int64_t kLimit = static_cast<std::int64_t>(INT_MAX) + 1;
    std::int64_t value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > kLimit) value = kLimit;
    }
    if (negative) return static_cast<int>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

double ParseClassicDouble(std::wstring_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i < text.size() && text[i] == L'+') ++i;
    // Only these characters can belong to the number; the parser finds where it ends.
    std::string narrow;
    for (; i < text.size() &&
           std::wstring_view(L"+-.0123456789eE").find(text[i]) != std::wstring_view::npos;
         ++i)
        narrow += static_cast<char>(text[i]);
    double value = 0;
    const auto [end, error] = std::from_chars(narrow.data(), narrow.data() + narrow.size(), value);
    static_cast<void>(end);
    return error == std::errc() ? value : 0;
}

bool IsDecimalInt(std::wstring_view text) {
    if (!text.empty() && (text.front() == L'+' || text.front() == L'-')) text.remove_prefix(1);
    if (text.empty()) return false;
    for (wchar_t c : text) {
        if (!IsDigit(c)) return false;
    }
    return true;
}

}  // namespace vesk::text
