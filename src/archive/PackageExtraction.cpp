#include "PackageExtraction.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <thread>

#include "ExtractionUnits.h"
#include "ZipHandle.h"
#include "fs/Paths.h"

namespace {

using Failures = std::vector<PackageExtractionResult::EntryFailure>;
using Unit = std::vector<std::size_t>;

// What a single walk over the entries also does: one description per entry, and where each
// stands in the directory, so a worker can go to it straight. A failed description leaves the
// entry without a name and out of the units.
std::vector<ExtractionEntry> DescribeAll(ZipHandle* zip, int count, ZipEntryPlaces& places,
                                         Failures& failures) {
    std::vector<ExtractionEntry> described;
    described.reserve(static_cast<std::size_t>(count));
    places.assign(static_cast<std::size_t>(std::max(count, 0)), std::nullopt);
    ZipEntry entry;
    for (int i = 0; i < count; ++i) {
        const ZipResult code = GetZipEntry(zip, i, &entry);
        if (code != kZipSuccess) {
            failures.push_back({i, L"", code, IsCurableZipFailure(code)});
            continue;
        }
        if (unz64_file_pos place{}; unzGetFilePos64(zip->reader, &place) == UNZ_OK)
            places[static_cast<std::size_t>(i)] = place;
        described.push_back({i, std::move(entry.name),
                             (entry.attributes & kZipAttributeDirectory) != 0,
                             entry.uncompressedSize});
    }
    return described;
}

int ChooseWorkers(const std::vector<ExtractionEntry>& entries, std::size_t units, int requested) {
    int workers = requested;
    if (workers <= 0) {
        unsigned long long work = 0;
        for (const ExtractionEntry& entry : entries) work += ExtractionWork(entry);
        const int hardware = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
        workers = static_cast<int>(std::min<unsigned long long>(work / kExtractionWorkPerWorker,
                                                                static_cast<unsigned>(hardware)));
    }
    return static_cast<int>(std::clamp<std::size_t>(static_cast<std::size_t>(std::max(workers, 1)),
                                                    1, std::max<std::size_t>(units, 1)));
}

// The units still to be taken; each worker takes the next one as it finishes the last.
struct UnitQueue {
    const std::vector<ExtractionEntry>& entries;
    const std::vector<Unit>& units;
    std::atomic<std::size_t> next{0};
};

// The entries of one unit, in index order, each described anew by this handle.
void ExtractUnit(ZipHandle* zip, const UnitQueue& queue, const Unit& unit, Failures& failures) {
    ZipEntry entry;
    for (const std::size_t position : unit) {
        const int i = queue.entries[position].index;
        ZipResult code = GetZipEntry(zip, i, &entry);
        if (code != kZipSuccess) entry.name.clear();
        if (code == kZipSuccess) code = UnzipEntryToFile(zip, i, entry.name.c_str());
        if (code == kZipSuccess) continue;
        const bool unwritable = code == kZipCannotOpenFile && zip->targetUnwritable;
        failures.push_back({i, entry.name, code, unwritable || IsCurableZipFailure(code)});
    }
}

void ExtractQueued(ZipHandle* zip, UnitQueue& queue, Failures& failures) {
    for (std::size_t u = queue.next++; u < queue.units.size(); u = queue.next++)
        ExtractUnit(zip, queue, queue.units[u], failures);
}

// A worker with its own handle on the same file; one that cannot have it takes nothing and
// leaves the queue to the others.
void ExtractQueuedAlone(int packageFd, const std::wstring& programFolder,
                        const ZipEntryPlaces& places, vesk::fs::DeferredClose& release,
                        UnitQueue& queue, Failures& failures) {
    ZipHandle* zip = OpenZipDescriptor(packageFd, nullptr);
    if (!zip) return;
    if (SetZipBaseFolder(zip, programFolder.c_str()) == kZipSuccess) {
        zip->places = &places;
        zip->release = &release;
        ExtractQueued(zip, queue, failures);
    }
    CloseZipFile(zip);
}

}  // namespace

PackageExtractionResult ExtractUpdatePackage(const std::wstring& packagePath,
                                             const std::wstring& programFolder, int workers) {
    const int fd = open(vesk::fs::NativePath(packagePath).c_str(),
                        O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    PackageExtractionResult result = ExtractHeldPackage(fd, programFolder, workers);
    if (fd >= 0) close(fd);
    return result;
}

PackageExtractionResult ExtractHeldPackage(int packageFd, const std::wstring& programFolder,
                                           int workers) {
    PackageExtractionResult result;
    // A package that cannot be opened gives no handle; every call below then fails on its
    // own and nothing is extracted.
    ZipHandle* zip = OpenZipDescriptor(packageFd, nullptr);
    result.opened = zip != nullptr;
    // Without a base the entries would land in whatever the current folder is.
    if (SetZipBaseFolder(zip, programFolder.c_str()) != kZipSuccess) {
        CloseZipFile(zip);
        return result;
    }
    ZipEntry count;
    if (GetZipEntry(zip, -1, &count) == kZipSuccess) result.entries = count.index;
    Failures& failures = result.failures;
    ZipEntryPlaces places;
    const std::vector<ExtractionEntry> entries = DescribeAll(zip, result.entries, places, failures);
    const std::vector<Unit> units = ExtractionUnits(entries);
    const int wanted = ChooseWorkers(entries, units.size(), workers);
    // Declared before the workers and gone after them: every replaced file is let go by the
    // time the result is returned.
    vesk::fs::DeferredClose release;
    zip->places = &places;
    zip->release = &release;

    UnitQueue queue{entries, units};
    std::vector<Failures> found(static_cast<std::size_t>(wanted));
    std::vector<std::thread> threads;
    for (std::size_t w = 1; w < found.size(); ++w) {
        try {
            threads.emplace_back([&, w] {
                ExtractQueuedAlone(packageFd, programFolder, places, release, queue, found[w]);
            });
        } catch (const std::exception&) {
            break;  // no more threads to be had: the ones there take what is left
        }
    }
    result.workers = static_cast<int>(threads.size()) + 1;
    ExtractQueued(zip, queue, found[0]);
    for (std::thread& thread : threads) thread.join();
    for (const Failures& share : found) failures.insert(failures.end(), share.begin(), share.end());
    std::sort(failures.begin(), failures.end(),
              [](const auto& a, const auto& b) { return a.index < b.index; });
    result.failedEntries = static_cast<int>(failures.size());
    // Closed last, so the last result the process keeps is this thread's, whatever the
    // workers ended with.
    zip->places = nullptr;
    zip->release = nullptr;
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
