// Describing an entry: moving the reader to it, its central record, its local extra field.

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "ZipEntryName.h"
#include "ZipEntryTimes.h"
#include "ZipHandle.h"
#include "text/Utf.h"

namespace {

constexpr unsigned long kUnixWriteOwner = 1ul << 23;
constexpr unsigned long kUnixDirectory = 1ul << 30;
constexpr unsigned long kUnixExecuteOwner = 1ul << 22;
constexpr unsigned long kUnixTypeMask = 0170000ul << 16;
constexpr unsigned long kUnixRegularFile = 0100000ul << 16;
constexpr std::uint32_t kDosAttributeBits = 0x37;

// Hosts whose external attributes hold DOS bits: DOS itself, and those that store them too.
bool HoldsDosAttributes(unsigned long versionMadeBy) {
    const unsigned long host = versionMadeBy >> 8;
    return versionMadeBy < 256 || host == 7 || host == 11 || host == 14;
}

std::uint32_t AttributesOf(const unz_file_info64& info) {
    if (HoldsDosAttributes(info.version)) {
        return static_cast<std::uint32_t>(info.external_fa) & kDosAttributeBits;
    }
    std::uint32_t attributes = kZipAttributeArchive;
    if (info.external_fa & kUnixDirectory) attributes |= kZipAttributeDirectory;
    if ((info.external_fa & kUnixWriteOwner) == 0) attributes |= kZipAttributeReadOnly;
    return attributes;
}

bool IsUnixExecutable(const unz_file_info64& info) {
    return !HoldsDosAttributes(info.version) && (info.external_fa & kUnixExecuteOwner) &&
           (info.external_fa & kUnixTypeMask) == kUnixRegularFile;
}

// Read failures of the archive file itself, as against what was read not making sense; the
// reader reports a failed allocation as an internal error.
ZipResult FromReaderError(int error) {
    if (error == UNZ_INTERNALERROR) return kZipNoMemory;
    return error == UNZ_ERRNO ? kZipReadFailed : kZipCorrupt;
}

ZipResult Unreachable(ZipHandle& zip, int from, int error) {
    zip.position = -1;
    zip.reachableEntries = from;
    zip.unreachableResult = FromReaderError(error);
    return zip.unreachableResult;
}

// Goes to index by its place from an earlier walk; false when it has none, or the place
// does not hold (then the walk decides, from the first entry: where the reader stands is
// no longer known).
bool JumpToEntry(ZipHandle& zip, int index) {
    if (!zip.places || index < 0 || static_cast<std::size_t>(index) >= zip.places->size())
        return false;
    std::optional<unz64_file_pos> place = (*zip.places)[static_cast<std::size_t>(index)];
    if (!place) return false;
    if (unzGoToFilePos64(zip.reader, &*place) != UNZ_OK) {
        zip.position = -1;
        return false;
    }
    zip.position = index;
    return true;
}

ZipResult MoveToEntry(ZipHandle& zip, int index) {
    if (index >= zip.reachableEntries) return zip.unreachableResult;
    if (index != zip.position && JumpToEntry(zip, index)) return kZipSuccess;
    if (zip.position < 0 || index < zip.position) {
        const int rc = unzGoToFirstFile(zip.reader);
        if (rc != UNZ_OK) return Unreachable(zip, 0, rc);
        zip.position = 0;
    }
    while (zip.position < index) {
        const int rc = unzGoToNextFile(zip.reader);
        if (rc != UNZ_OK) return Unreachable(zip, zip.position + 1, rc);
        ++zip.position;
    }
    return kZipSuccess;
}

// The name is taken as a C string, as the name of a file must be one.
// A name cut to the description's limit ends before a character the cut would break.
std::size_t CutAtCharacter(const char* stored, std::size_t size) {
    std::size_t start = size;
    while (start > 0 && (static_cast<unsigned char>(stored[start - 1]) & 0xC0) == 0x80) --start;
    if (start == 0) return size;
    const auto lead = static_cast<unsigned char>(stored[start - 1]);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return size - (start - 1) < length ? start - 1 : size;
}

std::wstring NameOf(const char* stored, unsigned long storedSize) {
    std::size_t size = strnlen(stored, std::min<std::size_t>(storedSize, kZipMaxName));
    if (storedSize > kZipMaxName) size = CutAtCharacter(stored, size);
    return vesk::text::Utf8ToWide(std::string_view(stored, size));
}

ZipResult FromRawOpenError(int error) {
    if (error == UNZ_INTERNALERROR) return kZipNoMemory;
    return error == UNZ_BADZIPFILE ? kZipCorrupt : kZipReadFailed;
}

// Opening the entry's raw stream checks its local header and finds its extra field. The
// reader refuses to open entries of methods it does not know even raw; those are described
// from the central record alone, and their extraction reports the method.
ZipResult ReadLocalExtra(unzFile reader, unsigned long method, std::string& extra) {
    extra.clear();
    const int rc = unzOpenCurrentFile2(reader, nullptr, nullptr, 1);
    if (rc != UNZ_OK && method != kZipMethodStored && method != kZipMethodDeflated)
        return kZipSuccess;
    if (rc != UNZ_OK) return FromRawOpenError(rc);
    const int size = unzGetLocalExtrafield(reader, nullptr, 0);
    extra.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
    const int read = extra.empty() ? 0 : unzGetLocalExtrafield(reader, extra.data(), size);
    unzCloseCurrentFile(reader);
    return (size < 0 || read != size) ? kZipReadFailed : kZipSuccess;
}

ZipDosTime DosTimeOf(const tm_unz& date) {
    return {static_cast<int>(date.tm_year), static_cast<int>(date.tm_mon) + 1,
            static_cast<int>(date.tm_mday), static_cast<int>(date.tm_hour),
            static_cast<int>(date.tm_min),  static_cast<int>(date.tm_sec)};
}

ZipResult ReadDescription(ZipHandle& zip, int index) {
    unz_file_info64 info{};
    char name[kZipMaxName + 1] = {};
    int rc = unzGetCurrentFileInfo64(zip.reader, &info, name, kZipMaxName, nullptr, 0, nullptr, 0);
    if (rc != UNZ_OK) return FromReaderError(rc);
    std::string extra;
    if (const ZipResult result = ReadLocalExtra(zip.reader, info.compression_method, extra);
        result != kZipSuccess) {
        return result;
    }
    ZipEntry entry;
    entry.index = index;
    entry.name = CleanZipEntryName(NameOf(name, info.size_filename));
    entry.attributes = AttributesOf(info);
    entry.modificationTime = ZipFileTimeFromDos(DosTimeOf(info.tmu_date));
    entry.accessTime = entry.creationTime = entry.modificationTime;
    ApplyExtendedTimestamp(extra, entry);
    entry.compressedSize = static_cast<std::uint32_t>(info.compressed_size);
    entry.uncompressedSize = static_cast<std::uint32_t>(info.uncompressed_size);
    zip.described = std::move(entry);
    zip.describedData = {info.flag,
                         info.compression_method,
                         info.compressed_size,
                         info.uncompressed_size,
                         static_cast<std::uint32_t>(info.crc),
                         IsUnixExecutable(info),
                         info.size_filename > kZipMaxName};
    zip.describedIndex = index;
    return kZipSuccess;
}

}  // namespace

ZipResult DescribeZipEntry(ZipHandle& zip, int index) {
    CloseZipEntryStream(zip);
    if (const ZipResult moved = MoveToEntry(zip, index); moved != kZipSuccess) return moved;
    if (zip.describedIndex == index) return kZipSuccess;
    zip.describedIndex = -1;
    return ReadDescription(zip, index);
}

void CloseZipEntryStream(ZipHandle& zip) {
    if (!zip.streamOpen) return;
    unzCloseCurrentFile(zip.reader);
    zip.streamOpen = false;
}
