#pragma once
// Unpacks one downloaded update package over the program folder, as the install stage does
// for each package: every entry under its own name, several at once; an entry that fails is
// skipped and the others are still tried. Each entry ends as it would in a walk from the
// first to the last: of entries with the same target, the later one wins. The result names
// what failed, so the caller can tell a package worth trying again from one that can never
// be installed whole.

#include <string>
#include <vector>

#include "ZipArchive.h"

struct PackageExtractionResult {
    struct EntryFailure {
        int index;
        std::wstring name;  // empty when the entry could not even be described
        ZipResult code;
        // A later run may succeed where this one failed: the code says so, or the file
        // system would not take the target (0x200 from a full or read-only disk).
        bool curable = false;
    };

    bool opened = false;
    int entries = 0;
    int failedEntries = 0;               // the size of failures
    std::vector<EntryFailure> failures;  // by index
    int workers = 0;                     // how many extracted at once
};

// One worker per hardware thread, fewer for a small package.
inline constexpr int kAutomaticExtractionWorkers = 0;
// A second worker opens and walks the archive once more; below this much work per worker
// (bytes, plus a fixed cost per entry) that costs more than it saves.
inline constexpr unsigned long long kExtractionWorkPerWorker = 4ull * 1024 * 1024;

// workers above 0 sets how many extract at once (never more than there are entries).
PackageExtractionResult ExtractUpdatePackage(const std::wstring& packagePath,
                                             const std::wstring& programFolder,
                                             int workers = kAutomaticExtractionWorkers);
// The same for the package an open descriptor holds (it stays the caller's): every worker reads
// that very file, whatever is at its path by now.
PackageExtractionResult ExtractHeldPackage(int packageFd, const std::wstring& programFolder,
                                           int workers = kAutomaticExtractionWorkers);

// True when a later run may succeed where this one failed: the archive could not be read
// (0x800), a write failed or the disk was full (0x400), the data was damaged (0x700,
// 0x5000000), memory ran out (0x300), and any code the reader does not give for a refusal
// of its own. False for those refusals, which no retry can change: a target that cannot be
// created (0x200: a read-only target, a name leading outside the base or too long),
// faulty arguments (0x10000), a password needed (0x1000); and for success.
// A target that the file system would not take (a full or read-only disk, a folder without
// write access) also reports 0x200; the failures of ExtractUpdatePackage mark it curable.
bool IsCurableZipFailure(ZipResult code);
