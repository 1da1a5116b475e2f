#pragma once
// Unpacks one downloaded update package over the program folder, as the install stage does
// for each package: every entry in turn, under its own name; an entry that fails is skipped
// and the next one is tried.

#include <string>

struct PackageExtractionResult {
    bool opened = false;
    int entries = 0;
    int failedEntries = 0;
};

PackageExtractionResult ExtractUpdatePackage(const std::wstring& packagePath,
                                             const std::wstring& programFolder);
