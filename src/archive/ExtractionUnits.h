#pragma once
// Cuts the entries of one package into units of work for the workers that extract it at once.
// Entries whose results depend on their order (the same target, or a file where another entry
// needs a folder) stay together in one unit, in index order. The heaviest units come first:
// workers that each take the next unit as they finish end close together.

#include <cstdint>
#include <string>
#include <vector>

struct ExtractionEntry {
    int index = 0;
    std::wstring name;
    bool folder = false;
    std::uint64_t size = 0;
};

// The cost of an entry beside its bytes: creating, replacing and closing its file.
inline constexpr std::uint64_t kExtractionEntryOverhead = 32 * 1024;

// The work an entry stands for, in bytes.
std::uint64_t ExtractionWork(const ExtractionEntry& entry);

// Every position in entries in exactly one unit, each unit ascending; units from the heaviest,
// ties by first position, so the same input gives the same units.
std::vector<std::vector<std::size_t>> ExtractionUnits(const std::vector<ExtractionEntry>& entries);
