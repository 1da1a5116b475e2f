#pragma once
// Shares the entries of one package out among the workers that extract it at once: the
// heaviest first to the least loaded worker, every share in index order. Entries whose
// results depend on their order (the same target, or a file where another entry needs a
// folder) stay together in one share.

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

// At most workers shares (at least one), none empty unless entries is; each holds positions
// in entries, ascending. The same input gives the same shares.
std::vector<std::vector<std::size_t>> ShareOutEntries(const std::vector<ExtractionEntry>& entries,
                                                      int workers);
