#include "PackageExtraction.h"

PackageExtractionResult ExtractUpdatePackage(const std::wstring& packagePath,
                                             const std::wstring& programFolder) {
    PackageExtractionResult result;
    // A package that cannot be opened gives no handle; every call below then fails on its
    // own and nothing is extracted.
    ZipHandle* zip = OpenZipFile(packagePath.c_str(), nullptr);
    result.opened = zip != nullptr;
    // Without a base the entries would land in whatever the current folder is.
    if (SetZipBaseFolder(zip, programFolder.c_str()) != kZipSuccess) {
        CloseZipFile(zip);
        return result;
    }
    ZipEntry entry;
    if (GetZipEntry(zip, -1, &entry) == kZipSuccess) result.entries = entry.index;
    for (int i = 0; i < result.entries; ++i) {
        ZipResult code = GetZipEntry(zip, i, &entry);
        // A failed description leaves the previous entry's name behind.
        if (code != kZipSuccess) entry.name.clear();
        if (code == kZipSuccess) code = UnzipEntryToFile(zip, i, entry.name.c_str());
        if (code != kZipSuccess) result.failures.push_back({i, entry.name, code});
    }
    result.failedEntries = static_cast<int>(result.failures.size());
    CloseZipFile(zip);
    return result;
}

bool IsCurableZipFailure(ZipResult code) {
    switch (code) {
        case kZipSuccess:
        case kZipCannotOpenFile:
        case kZipBadArguments:
        case kZipPasswordRequired:
            return false;
        default:
            return true;
    }
}
