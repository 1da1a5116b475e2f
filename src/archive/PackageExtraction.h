#pragma once
// Unpacks one downloaded update package over the program folder, as the install stage does
// for each package: every entry in turn, under its own name; an entry that fails is skipped
// and the next one is tried. The result names what failed, so the caller can tell a package
// worth trying again from one that can never be installed whole.

#include <string>
#include <vector>

#include "ZipArchive.h"

struct PackageExtractionResult {
    struct EntryFailure {
        int index;
        std::wstring name;  // empty when the entry could not even be described
        ZipResult code;
    };

    bool opened = false;
    int entries = 0;
    int failedEntries = 0;  // the size of failures
    std::vector<EntryFailure> failures;
};

PackageExtractionResult ExtractUpdatePackage(const std::wstring& packagePath,
                                             const std::wstring& programFolder);

// True when a later run may succeed where this one failed: the archive could not be read
// (0x800), a write failed or the disk was full (0x400), the data was damaged (0x700,
// 0x5000000), memory ran out (0x300), and any code the reader does not give for a refusal
// of its own. False for those refusals, which no retry can change: a target that cannot be
// created (0x200: read-only, no permission, a name leading outside the base or too long),
// faulty arguments (0x10000), a password needed (0x1000); and for success.
// A target that cannot be created because the disk is full also reports 0x200.
bool IsCurableZipFailure(ZipResult code);
