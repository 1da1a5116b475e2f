#pragma once
// The archive reader that unpacks update packages: open a ZIP file, set the folder to
// extract into, describe entries, extract one entry to a file, close. Every call returns a
// result code, which is also kept as the process-wide last result; FormatZipResult turns a
// code into its fixed message. A handle is used by one thread at a time.

#include <cstdint>
#include <string>

// Windows file attribute bits, as entries describe them.
inline constexpr std::uint32_t kZipAttributeReadOnly = 0x01;
inline constexpr std::uint32_t kZipAttributeHidden = 0x02;
inline constexpr std::uint32_t kZipAttributeSystem = 0x04;
inline constexpr std::uint32_t kZipAttributeDirectory = 0x10;
inline constexpr std::uint32_t kZipAttributeArchive = 0x20;

// A Windows file time: 100-nanosecond intervals since 1601-01-01 UTC.
using ZipFileTime = std::uint64_t;

// The description of one entry.
struct ZipEntry {
    // The entry's index; the query with index -1 leaves the number of entries here.
    int index = 0;
    // The entry's name after the clean-up; at most kZipMaxName characters.
    std::wstring name;
    std::uint32_t attributes = 0;
    ZipFileTime accessTime = 0;
    ZipFileTime creationTime = 0;
    ZipFileTime modificationTime = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
};

inline constexpr int kZipMaxName = 260;

using ZipResult = std::uint32_t;

inline constexpr ZipResult kZipSuccess = 0;
inline constexpr ZipResult kZipCannotDuplicate = 0x100;
inline constexpr ZipResult kZipCannotOpenFile = 0x200;
inline constexpr ZipResult kZipNoMemory = 0x300;
inline constexpr ZipResult kZipWriteFailed = 0x400;
inline constexpr ZipResult kZipNotFound = 0x500;
inline constexpr ZipResult kZipMoreData = 0x600;
inline constexpr ZipResult kZipCorrupt = 0x700;
inline constexpr ZipResult kZipReadFailed = 0x800;
inline constexpr ZipResult kZipPasswordRequired = 0x1000;
inline constexpr ZipResult kZipBadArguments = 0x10000;
inline constexpr ZipResult kZipNotMemoryZip = 0x20000;
inline constexpr ZipResult kZipMemoryTooSmall = 0x30000;
inline constexpr ZipResult kZipPreviousError = 0x40000;
inline constexpr ZipResult kZipAlreadyEnded = 0x50000;
inline constexpr ZipResult kZipWrongSize = 0x60000;
inline constexpr ZipResult kZipPartlyUnzipped = 0x70000;
inline constexpr ZipResult kZipMixedUse = 0x80000;
inline constexpr ZipResult kZipNotInitialised = 0x1000000;
inline constexpr ZipResult kZipCannotSeek = 0x2000000;
inline constexpr ZipResult kZipChangedMind = 0x4000000;
inline constexpr ZipResult kZipFlateFailed = 0x5000000;

// For FormatZipResult: the last result of any call in the process.
inline constexpr ZipResult kZipLastResult = 1;

struct ZipHandle;

// Opens an existing archive for reading; the extraction base starts as the current folder.
// Null on failure (0x200 when the file cannot be opened or its directory cannot be read).
ZipHandle* OpenZipFile(const wchar_t* path, const char* password);
// The same for the file an open descriptor holds, which stays the caller's: the handle reads
// through a duplicate of its own, by position, so handles on several threads may share it.
ZipHandle* OpenZipDescriptor(int fd, const char* password);

// Makes folder the extraction base, adding a separator when it ends in none.
ZipResult SetZipBaseFolder(ZipHandle* zip, const wchar_t* folder);

// Describes entry index; index -1 leaves only the number of entries in entry->index.
ZipResult GetZipEntry(ZipHandle* zip, int index, ZipEntry* entry);

// Extracts entry index to the file or folder target; a relative target is taken below the
// extraction base and may not leave it. An index past the last entry does nothing.
ZipResult UnzipEntryToFile(ZipHandle* zip, int index, const wchar_t* target);

ZipResult CloseZipFile(ZipHandle* zip);

// Copies the code's message (kZipLastResult: the last result's) into buffer, cut to fit
// with its terminator; returns the message's full length. With no buffer only the length.
unsigned FormatZipResult(ZipResult code, wchar_t* buffer, unsigned capacity);
