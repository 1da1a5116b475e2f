#pragma once
// Case-insensitive comparison of wide texts, as the Windows profile functions and file
// name comparisons use it.

#include <string>
#include <string_view>

namespace vesk::text {

bool EqualsNoCase(std::wstring_view a, std::wstring_view b);
std::wstring ToLower(std::wstring_view text);

}  // namespace vesk::text
