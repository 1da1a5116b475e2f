#include "PackageExtraction.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <exception>
#include <thread>

#include "ExtractionShares.h"
#include "ZipHandle.h"
#include "fs/Paths.h"

namespace {

using Failures = std::vector<PackageExtractionResult::EntryFailure>;
using Share = std::vector<std::size_t>;

// What a single walk over the entries also does: one description per entry. A failed
// description leaves the entry without a name and out of the shares.
std::vector<ExtractionEntry> DescribeAll(ZipHandle* zip, int count, Failures& failures) {
    std::vector<ExtractionEntry> described;
    described.reserve(static_cast<std::size_t>(count));
    ZipEntry entry;
    for (int i = 0; i < count; ++i) {
        const ZipResult code = GetZipEntry(zip, i, &entry);
        if (code != kZipSuccess) {
            failures.push_back({i, L"", code, IsCurableZipFailure(code)});
            continue;
        }
        described.push_back({i, std::move(entry.name),
                             (entry.attributes & kZipAttributeDirectory) != 0,
                             entry.uncompressedSize});
    }
    return described;
}

int ChooseWorkers(const std::vector<ExtractionEntry>& entries, int requested) {
    if (requested > 0) return requested;
    unsigned long long work = 0;
    for (const ExtractionEntry& entry : entries) work += ExtractionWork(entry);
    const int hardware = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const auto byWork = static_cast<int>(std::min<unsigned long long>(
        work / kExtractionWorkPerWorker, static_cast<unsigned>(hardware)));
    return std::max(1, std::min(hardware, byWork));
}

// The entries of one share, in index order, each described anew by this handle.
void ExtractShare(ZipHandle* zip, const std::vector<ExtractionEntry>& entries, const Share& share,
                  Failures& failures) {
    ZipEntry entry;
    for (const std::size_t position : share) {
        const int i = entries[position].index;
        ZipResult code = GetZipEntry(zip, i, &entry);
        if (code != kZipSuccess) entry.name.clear();
        if (code == kZipSuccess) code = UnzipEntryToFile(zip, i, entry.name.c_str());
        if (code == kZipSuccess) continue;
        const bool unwritable = code == kZipCannotOpenFile && zip->targetUnwritable;
        failures.push_back({i, entry.name, code, unwritable || IsCurableZipFailure(code)});
    }
}

// A worker with its own handle on the same file; false when the handle could not be had, and
// nothing was extracted.
bool ExtractShareAlone(int packageFd, const std::wstring& programFolder,
                       vesk::fs::DeferredClose& release,
                       const std::vector<ExtractionEntry>& entries, const Share& share,
                       Failures& failures) {
    ZipHandle* zip = OpenZipDescriptor(packageFd, nullptr);
    if (!zip) return false;
    zip->release = &release;
    if (SetZipBaseFolder(zip, programFolder.c_str()) != kZipSuccess) {
        CloseZipFile(zip);
        return false;
    }
    ExtractShare(zip, entries, share, failures);
    CloseZipFile(zip);
    return true;
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
    const std::vector<ExtractionEntry> entries = DescribeAll(zip, result.entries, failures);
    const std::vector<Share> shares = ShareOutEntries(entries, ChooseWorkers(entries, workers));
    result.workers = static_cast<int>(shares.size());
    // Declared before the workers and gone after them: every replaced file is let go by the
    // time the result is returned.
    vesk::fs::DeferredClose release;
    zip->release = &release;

    std::vector<Failures> found(shares.size());
    std::vector<char> done(shares.size(), 0);
    std::vector<std::thread> threads;
    for (std::size_t s = 1; s < shares.size(); ++s) {
        try {
            threads.emplace_back([&, s] {
                done[s] = ExtractShareAlone(packageFd, programFolder, release, entries, shares[s],
                                            found[s]);
            });
        } catch (const std::exception&) {
            break;  // no more threads to be had: this thread takes what is left
        }
    }
    ExtractShare(zip, entries, shares[0], found[0]);
    done[0] = 1;
    for (std::thread& thread : threads) thread.join();
    for (std::size_t s = 1; s < shares.size(); ++s) {
        if (!done[s]) ExtractShare(zip, entries, shares[s], found[s]);
    }
    for (const Failures& share : found) failures.insert(failures.end(), share.begin(), share.end());
    std::sort(failures.begin(), failures.end(),
              [](const auto& a, const auto& b) { return a.index < b.index; });
    result.failedEntries = static_cast<int>(failures.size());
    // Closed last, so the last result the process keeps is this thread's, whatever the
    // workers ended with.
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
