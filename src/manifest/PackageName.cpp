#include "PackageName.h"

#include <climits>

#include "fs/Paths.h"

namespace {

// The downloader writes a package under its own name, with no temporary name beside it,
// so the whole length a file name may have is the package's.
constexpr std::size_t kMaxNameBytes = NAME_MAX;

bool IsControlCharacter(wchar_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

}  // namespace

bool IsSafePackageName(std::wstring_view name) {
    if (name.empty() || name == L"." || name.find(L"..") != std::wstring_view::npos) return false;
    for (const wchar_t c : name) {
        if (c == L'/' || c == L'\\' || IsControlCharacter(c)) return false;
    }
    return vesk::fs::NativePath(name).size() <= kMaxNameBytes;
}
