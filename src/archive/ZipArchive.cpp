// Opening and closing archives, the extraction base, entry queries and result messages.

#include "ZipArchive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cwchar>
#include <memory>
#include <new>

#include "ZipFileSource.h"
#include "ZipHandle.h"
#include "fs/Paths.h"

namespace {

// The smallest central directory record: a directory claiming more entries than could fit
// in the archive is not read as one.
constexpr std::uint64_t kSmallestCentralRecord = 46;
constexpr int kEndRecordSize = 22;

std::atomic<ZipResult> g_lastResult{kZipSuccess};

struct ZipMessage {
    ZipResult code;
    const wchar_t* text;
};

constexpr ZipMessage kZipMessages[] = {
    {kZipSuccess, L"Success"},
    {kZipCannotDuplicate, L"Culdn't duplicate handle"},
    {kZipCannotOpenFile, L"Couldn't create/open file"},
    {kZipNoMemory, L"Failed to allocate memory"},
    {kZipWriteFailed, L"Error writing to file"},
    {kZipNotFound, L"File not found in the zipfile"},
    {kZipMoreData, L"Still more data to unzip"},
    {kZipCorrupt, L"Zipfile is corrupt or not a zipfile"},
    {kZipReadFailed, L"Error reading file"},
    {kZipPasswordRequired, L"Correct password required"},
    {kZipBadArguments, L"Caller: faulty arguments"},
    {kZipNotMemoryZip, L"Caller: can only get memory of a memory zipfile"},
    {kZipMemoryTooSmall, L"Caller: not enough space allocated for memory zipfile"},
    {kZipPreviousError, L"Caller: there was a previous error"},
    {kZipAlreadyEnded, L"Caller: additions to the zip have already been ended"},
    {kZipWrongSize, L"Zip-bug: the anticipated size turned out wrong"},
    {kZipPartlyUnzipped, L"Caller: the file had already been partially unzipped"},
    {kZipMixedUse, L"Caller: mixing creation and opening of zip"},
    {kZipNotInitialised, L"Zip-bug: internal initialisation not completed"},
    {kZipCannotSeek, L"Zip-bug: trying to seek the unseekable"},
    {kZipChangedMind, L"Zip-bug: tried to change mind, but not allowed"},
    {kZipFlateFailed, L"Zip-bug: an internal error during flation"},
};
constexpr wchar_t kUnknownZipResult[] = L"unknown zip result code";

const wchar_t* MessageOf(ZipResult code) {
    for (const ZipMessage& message : kZipMessages) {
        if (message.code == code) return message.text;
    }
    return kUnknownZipResult;
}

// An archive of nothing but its end record; the directory reader misses a record that
// starts the file, so such an archive is recognised here.
bool IsEmptyArchive(int fd, std::uint64_t archiveSize) {
    unsigned char record[kEndRecordSize] = {};
    if (archiveSize < kEndRecordSize || pread(fd, record, kEndRecordSize, 0) != kEndRecordSize) {
        return false;
    }
    const auto at = [&](int i) { return record[i] | record[i + 1] << 8; };
    const bool signature = record[0] == 'P' && record[1] == 'K' && at(2) == 0x0605;
    return signature && at(8) == 0 && at(10) == 0 &&
           static_cast<std::uint64_t>(at(20)) + kEndRecordSize == archiveSize;
}

// False when the archive cannot be read; an empty archive opens without a reader.
bool OpenReader(int fd, ZipHandle& zip) {
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    const auto archiveSize = static_cast<std::uint64_t>(info.st_size);
    zlib_filefunc64_def functions = ZipFileSourceFunctions();
    zip.reader = unzOpen2_64(&fd, &functions);
    if (!zip.reader) return IsEmptyArchive(fd, archiveSize);
    unz_global_info64 info64{};
    if (unzGetGlobalInfo64(zip.reader, &info64) != UNZ_OK ||
        info64.number_entry > archiveSize / kSmallestCentralRecord) {
        return false;
    }
    zip.entryCount = static_cast<int>(std::min<ZPOS64_T>(info64.number_entry, INT_MAX));
    zip.dataFd = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    return zip.dataFd >= 0;
}

ZipHandle* OpenHandle(int fd, const char* password) {
    auto zip = std::make_unique<ZipHandle>();
    if (!OpenReader(fd, *zip)) {
        ZipReturn(kZipCannotOpenFile);
        return nullptr;
    }
    if (password) zip->password = password;
    zip->base = vesk::fs::CurrentDirectory();
    ZipReturn(kZipSuccess);
    return zip.release();
}

// A descriptor of the file at a path, closed when it goes; a FIFO in its place is not waited on.
class PathDescriptor {
public:
    explicit PathDescriptor(const wchar_t* path)
        : m_fd(open(vesk::fs::NativePath(path).c_str(),
                    O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)) {}
    ~PathDescriptor() {
        if (m_fd >= 0) close(m_fd);
    }
    PathDescriptor(const PathDescriptor&) = delete;
    PathDescriptor& operator=(const PathDescriptor&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

void DescribeCount(const ZipHandle& zip, ZipEntry& entry) {
    entry = ZipEntry{};
    entry.index = zip.entryCount;
}

}  // namespace

ZipResult ZipReturn(ZipResult result) {
    g_lastResult.store(result, std::memory_order_relaxed);
    return result;
}

ZipResult CheckZipHandle(const ZipHandle* zip) {
    if (!zip) return kZipBadArguments;
    if (zip->kind != kZipKindReading) return kZipMixedUse;
    return kZipSuccess;
}

ZipHandle* OpenZipFile(const wchar_t* path, const char* password) {
    if (!path) {
        ZipReturn(kZipBadArguments);
        return nullptr;
    }
    try {
        const PathDescriptor file(path);
        return OpenHandle(file.fd(), password);
    } catch (const std::bad_alloc&) {
        ZipReturn(kZipNoMemory);
        return nullptr;
    }
}

ZipHandle* OpenZipDescriptor(int fd, const char* password) {
    try {
        return OpenHandle(fd, password);
    } catch (const std::bad_alloc&) {
        ZipReturn(kZipNoMemory);
        return nullptr;
    }
}

ZipResult SetZipBaseFolder(ZipHandle* zip, const wchar_t* folder) {
    if (const ZipResult check = CheckZipHandle(zip); check != kZipSuccess) return ZipReturn(check);
    // An empty base would put the root folder in its place.
    if (!folder || !*folder) return ZipReturn(kZipBadArguments);
    std::wstring base = folder;
    if (base.back() == L'\\') base.back() = L'/';
    if (base.back() != L'/') base += L'/';
    zip->base = std::move(base);
    return ZipReturn(kZipSuccess);
}

ZipResult GetZipEntry(ZipHandle* zip, int index, ZipEntry* entry) {
    if (const ZipResult check = CheckZipHandle(zip); check != kZipSuccess) return ZipReturn(check);
    if (!entry || index < -1 || index >= zip->entryCount) return ZipReturn(kZipBadArguments);
    if (index == -1) {
        DescribeCount(*zip, *entry);
        return ZipReturn(kZipSuccess);
    }
    try {
        const ZipResult result = DescribeZipEntry(*zip, index);
        if (result == kZipSuccess) *entry = zip->described;
        return ZipReturn(result);
    } catch (const std::bad_alloc&) {
        return ZipReturn(kZipNoMemory);
    }
}

ZipResult CloseZipFile(ZipHandle* zip) {
    if (const ZipResult check = CheckZipHandle(zip); check != kZipSuccess) return ZipReturn(check);
    CloseZipEntryStream(*zip);
    delete zip;
    return ZipReturn(kZipSuccess);
}

unsigned FormatZipResult(ZipResult code, wchar_t* buffer, unsigned capacity) {
    if (code == kZipLastResult) code = g_lastResult.load(std::memory_order_relaxed);
    const wchar_t* message = MessageOf(code);
    const std::size_t length = std::wcslen(message);
    if (buffer && capacity > 0) {
        const std::size_t copied = std::min<std::size_t>(length, capacity - 1);
        std::wmemcpy(buffer, message, copied);
        buffer[copied] = L'\0';
    }
    return static_cast<unsigned>(length);
}
