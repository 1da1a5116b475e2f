#include "PackageExtraction.h"

#include "ZipArchive.h"

PackageExtractionResult ExtractUpdatePackage(const std::wstring& packagePath,
                                             const std::wstring& programFolder) {
    PackageExtractionResult result;
    // A package that cannot be opened gives no handle; every call below then fails on its
    // own and nothing is extracted.
    ZipHandle* zip = OpenZipFile(packagePath.c_str(), nullptr);
    result.opened = zip != nullptr;
    SetZipBaseFolder(zip, programFolder.c_str());
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
