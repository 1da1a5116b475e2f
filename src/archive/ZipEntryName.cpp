#include "ZipEntryName.h"

#include <string_view>

namespace {

bool DropLeadingDrive(std::wstring& name) {
    if (name.size() < 2 || name[1] != L':') return false;
    name.erase(0, 2);
    return true;
}

bool DropLeadingSeparator(std::wstring& name) {
    if (name.empty() || (name[0] != L'\\' && name[0] != L'/')) return false;
    name.erase(0, 1);
    return true;
}

// Only the first of the four forms found is dropped in one pass; the caller repeats.
bool DropThroughUpwardStep(std::wstring& name) {
    for (const wchar_t* step : {L"\\..\\", L"\\../", L"/../", L"/..\\"}) {
        const size_t at = name.find(step);
        if (at != std::wstring::npos) {
            name.erase(0, at + 4);
            return true;
        }
    }
    return false;
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

}  // namespace

std::wstring CleanZipEntryName(std::wstring name) {
    for (;;) {
        bool changed = DropLeadingDrive(name);
        changed |= DropLeadingSeparator(name);
        changed |= DropThroughUpwardStep(name);
        if (!changed) return name;
    }
}

bool ZipNameLeadsUpwards(std::wstring_view name) {
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !IsSeparator(name[end])) ++end;
        if (name.substr(start, end - start) == L"..") return true;
        start = end + 1;
    }
    return false;
}
