#pragma once
// The inside of an archive handle, shared by the archive reader's source files.

#include <unistd.h>
#include <unzip.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "EntryInflater.h"
#include "ZipArchive.h"
#include "fs/DeferredClose.h"

inline constexpr int kZipKindReading = 1;
// The compression methods this reader can extract.
inline constexpr unsigned long kZipMethodStored = 0;
inline constexpr unsigned long kZipMethodDeflated = 8;

// Where each entry stands in the archive's directory, by index; none for an entry the walk
// could not reach or describe.
using ZipEntryPlaces = std::vector<std::optional<unz64_file_pos>>;

// What extraction needs to know of an entry beyond its description.
struct ZipEntryData {
    unsigned long flags = 0;
    unsigned long method = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    std::uint32_t crc = 0;
    bool unixExecutable = false;
    // The stored name is longer than a description holds: writing it under a cut name
    // would put the data in the wrong file, so it is never extracted.
    bool nameTooLong = false;
};

struct ZipHandle {
    ZipHandle() = default;
    ZipHandle(const ZipHandle&) = delete;
    ZipHandle& operator=(const ZipHandle&) = delete;
    ~ZipHandle() {
        if (reader) unzClose(reader);
        if (dataFd >= 0) close(dataFd);
    }

    int kind = kZipKindReading;
    unzFile reader = nullptr;
    // The archive file again, for reading entry data by position straight into the
    // inflater's buffer; -1 when the handle has no reader.
    int dataFd = -1;
    std::optional<std::string> password;
    std::wstring base;
    int entryCount = 0;
    // The entry the reader stands on; -1 when unknown.
    int position = -1;
    // A directory that breaks off at an entry breaks there on every walk; remembering where
    // keeps a loop over the claimed entries from walking it again each time.
    int reachableEntries = INT_MAX;
    ZipResult unreachableResult = kZipSuccess;
    int describedIndex = -1;
    ZipEntry described;
    ZipEntryData describedData;
    bool streamOpen = false;
    // Made at the first extraction and kept for the next ones.
    std::unique_ptr<EntryInflater> inflater;
    // Set when the last extraction gave 0x200 because the file system would not take the
    // target (no write access, a read-only or full disk) rather than by a rule of the reader's
    // own; a later try may then succeed.
    bool targetUnwritable = false;
    // Where the entries stand, from an earlier walk over the same archive: the reader goes
    // to one straight instead of walking there. Null: it walks.
    const ZipEntryPlaces* places = nullptr;
    // Where the files extraction replaces are let go; null: at the rename itself.
    vesk::fs::DeferredClose* release = nullptr;
};

// Keeps result as the process-wide last result and returns it.
ZipResult ZipReturn(ZipResult result);

// 0 for a handle that may be used, else the code for its misuse.
ZipResult CheckZipHandle(const ZipHandle* zip);

// Moves the reader to entry index (0 or above) and describes it into zip.described.
ZipResult DescribeZipEntry(ZipHandle& zip, int index);

void CloseZipEntryStream(ZipHandle& zip);
