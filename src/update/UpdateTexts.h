#pragma once
// The localised text of a string-table key, as every part of the update window shows it.

#include <string>

#include "StringTable.h"

inline std::wstring UpdateText(const wchar_t* key) {
    return TheStringTable().GetString(key);
}
