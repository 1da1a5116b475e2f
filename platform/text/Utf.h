#pragma once
// Conversions between the encodings the system meets: wide strings (UTF-32 here),
// UTF-8 (settings files, the library's wire texts), native byte strings (file names and
// path-like environment values) and UTF-16LE (the string table). The lenient forms replace
// what cannot be decoded with U+FFFD; the strict forms refuse the whole input instead. All
// are safe from any thread.

#include <optional>
#include <string>
#include <string_view>

namespace vesk::text {

inline constexpr wchar_t kReplacementChar = L'\xFFFD';

std::wstring Utf8ToWide(std::string_view utf8);
std::optional<std::wstring> Utf8ToWideStrict(std::string_view utf8);

std::string WideToUtf8(std::wstring_view wide);
std::optional<std::string> WideToUtf8Strict(std::wstring_view wide);

// Native bytes read as UTF-8, except that each byte outside valid UTF-8 becomes the lone
// surrogate U+DC80..U+DCFF and turns back into that byte, so any byte string survives the
// trip to wide and back exactly. Other surrogates and non-characters write as U+FFFD; an
// escape never writes a byte below 0x80, so it cannot make a "/" or a ".".
std::wstring NativeBytesToWide(std::string_view bytes);
std::string WideToNativeBytes(std::wstring_view wide);
// True for the code points that stand for a single native byte.
bool IsEscapedByte(wchar_t c);

// Surrogate pairs are joined; a lone surrogate becomes U+FFFD (lenient) or fails (strict).
std::wstring Utf16ToWide(std::u16string_view utf16);
std::optional<std::wstring> Utf16ToWideStrict(std::u16string_view utf16);

std::u16string WideToUtf16(std::wstring_view wide);

// Little-endian byte pairs to 16-bit units; an odd trailing byte is ignored.
std::u16string Utf16LeBytesToUnits(std::string_view bytes);
std::string UnitsToUtf16LeBytes(std::u16string_view units);

}  // namespace vesk::text
