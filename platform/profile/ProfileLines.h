#pragma once
// The text of a settings file: finding a value and setting one while every other line stays
// as it stood. Pure text, no file access; the rules are those ProfileFile.h describes.

#include <optional>
#include <string>
#include <string_view>

namespace vesk::profile {

// Whether a section, key and value would read back as written.
bool IsWritable(std::wstring_view section, std::wstring_view key, std::wstring_view value);

// The value of the first key in the first such section; nothing when either is absent.
std::optional<std::wstring> FindValue(std::string_view bytes, std::wstring_view section,
                                      std::wstring_view key);

// The text with the key set to value, the key or section added where absent. The names
// must pass IsWritable.
std::string SetValue(std::string_view bytes, std::wstring_view section, std::wstring_view key,
                     std::wstring_view value);

}  // namespace vesk::profile
