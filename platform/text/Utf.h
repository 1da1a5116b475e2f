#pragma once
// Conversions between the encodings the system meets: wide strings (UTF-32 here),
// UTF-8 (file names, settings files, the library's wire texts) and UTF-16LE (the string
// table). The lenient forms replace what cannot be decoded with U+FFFD; the strict forms
// refuse the whole input instead. All are safe from any thread.

#include <optional>
#include <string>
#include <string_view>

namespace vesk::text {

inline constexpr wchar_t kReplacementChar = L'\xFFFD';

std::wstring Utf8ToWide(std::string_view utf8);
std::optional<std::wstring> Utf8ToWideStrict(std::string_view utf8);

std::string WideToUtf8(std::wstring_view wide);
std::optional<std::string> WideToUtf8Strict(std::wstring_view wide);

// Surrogate pairs are joined; a lone surrogate becomes U+FFFD (lenient) or fails (strict).
std::wstring Utf16ToWide(std::u16string_view utf16);
std::optional<std::wstring> Utf16ToWideStrict(std::u16string_view utf16);

std::u16string WideToUtf16(std::wstring_view wide);

// Little-endian byte pairs to 16-bit units; an odd trailing byte is ignored.
std::u16string Utf16LeBytesToUnits(std::string_view bytes);
std::string UnitsToUtf16LeBytes(std::u16string_view units);

}  // namespace vesk::text
