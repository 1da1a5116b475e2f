#pragma once
// Whether a manifest's package name may be used as the name of a file in the package
// folder.

#include <string_view>

// False for a name that is empty, "." or holds "..", holds a "/" or "\\", holds a control
// character (NUL included), or is longer than a file name may be in the native encoding.
bool IsSafePackageName(std::wstring_view name);
