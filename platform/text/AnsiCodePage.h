#pragma once
// The ANSI code page stand-in: the character set of the current locale (LC_CTYPE),
// reached through iconv. A character the set cannot hold becomes "?", as the Windows
// default character does. Safe from any thread.

#include <cstddef>
#include <string>
#include <string_view>

namespace vesk::text {

// The locale's character set name, as iconv knows it (for example "UTF-8").
std::string AnsiCodeSet();

// Converts to the locale's character set. At most maxBytes bytes are produced and a
// character is never cut in half: what does not fit is left off.
std::string WideToAnsi(std::wstring_view wide, std::size_t maxBytes = std::string::npos);

// The same, into a named character set.
std::string WideToCodeSet(std::wstring_view wide, const char* codeSet,
                          std::size_t maxBytes = std::string::npos);

// Back from the locale's character set; undecodable bytes become U+FFFD.
std::wstring AnsiToWide(std::string_view ansi);

}  // namespace vesk::text
