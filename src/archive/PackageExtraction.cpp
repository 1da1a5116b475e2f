#include "PackageExtraction.h"

#include "ZipArchive.h"

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
        const bool described = GetZipEntry(zip, i, &entry) == kZipSuccess;
        if (!described || UnzipEntryToFile(zip, i, entry.name.c_str()) != kZipSuccess) {
            ++result.failedEntries;
        }
    }
    CloseZipFile(zip);
    return result;
}
