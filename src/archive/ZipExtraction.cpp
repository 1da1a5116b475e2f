// Extracting one entry: its folders, the file that replaces what was there, the copy of its
// data, and its attributes and times.

#include <errno.h>
#include <unistd.h>

#include <algorithm>
#include <new>
#include <string>

#include "ZipEntryName.h"
#include "ZipEntryTimes.h"
#include "ZipHandle.h"
#include "fs/ConfinedFolder.h"
#include "fs/Files.h"
#include "fs/ReplacementFile.h"

namespace {

using vesk::fs::ConfinedFolder;
using vesk::fs::ReplacementFile;

constexpr unsigned long kEncryptedFlag = 0x1;

// Where a target name points: below the base, at a path of its own, or at a drive, which
// this system has none of.
enum class TargetKind { BelowBase, Absolute, Drive };

struct Target {
    TargetKind kind = TargetKind::BelowBase;
    std::wstring folder;  // with "/" separators, ending in "/" unless empty
    std::wstring file;
};

Target SplitTarget(const wchar_t* name) {
    Target target;
    target.folder = name;
    for (wchar_t& c : target.folder) {
        if (c == L'\\') c = L'/';
    }
    if (!target.folder.empty() && target.folder[0] == L'/') target.kind = TargetKind::Absolute;
    if (target.folder.size() > 1 && target.folder[1] == L':') target.kind = TargetKind::Drive;
    const size_t slash = target.folder.rfind(L'/');
    const size_t fileStart = slash == std::wstring::npos ? 0 : slash + 1;
    target.file = target.folder.substr(fileStart);
    target.folder.resize(fileStart);
    return target;
}

// Opens relative below the base, creating what is missing. The base is made only when it
// cannot be opened: making it for every entry cost a system call per parent per entry.
ConfinedFolder::Result OpenBelowBase(const ZipHandle& zip, const std::wstring& relative,
                                     ConfinedFolder& folder) {
    ConfinedFolder::Result result = ConfinedFolder::Open(zip.base, relative, true, folder);
    if (result == ConfinedFolder::Result::Failed && vesk::fs::CreateFolderTree(zip.base)) {
        result = ConfinedFolder::Open(zip.base, relative, true, folder);
    }
    return result;
}

ZipResult ExtractFolder(const ZipHandle& zip, const Target& target) {
    const std::wstring path = target.folder + target.file;
    if (target.kind == TargetKind::Absolute) {
        vesk::fs::CreateFolderTree(path);
        return kZipSuccess;
    }
    ConfinedFolder folder;
    // A failure to create it is not the entry's failure; a folder that would lead out is.
    return OpenBelowBase(zip, path, folder) == ConfinedFolder::Result::Refused ? kZipCannotOpenFile
                                                                               : kZipSuccess;
}

ConfinedFolder::Result OpenTargetFolder(const ZipHandle& zip, const Target& target,
                                        ConfinedFolder& folder) {
    if (target.kind == TargetKind::Absolute) {
        vesk::fs::CreateFolderTree(target.folder);
        return ConfinedFolder::Open(target.folder, L"", false, folder);
    }
    return OpenBelowBase(zip, target.folder, folder);
}

ZipResult OpenEntryStream(ZipHandle& zip) {
    const ZipEntryData& data = zip.describedData;
    const bool encrypted = (data.flags & kEncryptedFlag) != 0;
    if (encrypted && !zip.password) return kZipPasswordRequired;
    // Any other method would be handed over still compressed.
    if (data.method != kZipMethodStored && data.method != kZipMethodDeflated) {
        return kZipFlateFailed;
    }
    const char* password = encrypted ? zip.password->c_str() : nullptr;
    // Raw: the data comes out as stored (decrypted), for the inflater here to take in.
    const int rc = unzOpenCurrentFile3(zip.reader, nullptr, nullptr, 1, password);
    if (rc != UNZ_OK) return rc == UNZ_INTERNALERROR ? kZipNoMemory : kZipFlateFailed;
    zip.streamOpen = true;
    return kZipSuccess;
}

// Where the next bytes of an unencrypted entry's data lie in the archive file.
struct DataSpan {
    int fd = -1;
    std::uint64_t at = 0;
    std::uint64_t left = 0;
};

// Read by position straight into the inflater's buffer: the reader's raw stream would copy
// each byte twice more and take a CRC of the compressed data besides.
int ReadSpan(DataSpan& span, unsigned char* buffer, unsigned size) {
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size, span.left));
    std::size_t got = 0;
    while (got < wanted) {
        const ssize_t n =
            pread(span.fd, buffer + got, wanted - got, static_cast<off_t>(span.at + got));
        if (n < 0 && errno == EINTR) continue;
        // An archive that ends inside the data fails as a read, as with the reader's stream.
        if (n <= 0) return -1;
        got += static_cast<std::size_t>(n);
    }
    span.at += got;
    span.left -= got;
    return static_cast<int>(got);
}

ZipResult FromOutcome(EntryInflater::Outcome outcome) {
    switch (outcome) {
        case EntryInflater::Outcome::Complete:
            return kZipSuccess;
        case EntryInflater::Outcome::WriteFailed:
            return kZipWriteFailed;
        case EntryInflater::Outcome::Damaged:
        case EntryInflater::Outcome::ReadFailed:
            break;
    }
    return kZipFlateFailed;
}

// Damage is never taken as success: every byte the directory announced must come out, and
// their CRC must be the one it recorded.
ZipResult CopyEntryStream(ZipHandle& zip, ReplacementFile& file) {
    if (!zip.inflater) zip.inflater.reset(new (std::nothrow) EntryInflater);
    if (!zip.inflater || !zip.inflater->Ready()) return kZipNoMemory;
    const ZipEntryData& data = zip.describedData;
    // Encrypted data is read through the reader's stream, which decrypts it.
    const bool direct = (data.flags & kEncryptedFlag) == 0;
    DataSpan span{zip.dataFd, unzGetCurrentFileZStreamPos64(zip.reader), data.compressedSize};
    const EntryInflater::Reader read = [&zip, &span, direct](unsigned char* buffer, unsigned size) {
        return direct ? ReadSpan(span, buffer, size) : unzReadCurrentFile(zip.reader, buffer, size);
    };
    const EntryInflater::Writer write = [&file](const unsigned char* bytes, std::size_t size) {
        return file.Write(bytes, size);
    };
    const EntryInflater::Result copied =
        data.method == kZipMethodStored ? zip.inflater->Copy(read, write, data.uncompressedSize)
                                        : zip.inflater->Inflate(read, write, data.uncompressedSize);
    CloseZipEntryStream(zip);
    if (copied.outcome != EntryInflater::Outcome::Complete) return FromOutcome(copied.outcome);
    if (copied.crc != data.crc || copied.produced != data.uncompressedSize) return kZipCorrupt;
    return kZipSuccess;
}

ZipResult ExtractFile(ZipHandle& zip, const Target& target) {
    ConfinedFolder folder;
    ReplacementFile file;
    const ConfinedFolder::Result reached = OpenTargetFolder(zip, target, folder);
    if (reached != ConfinedFolder::Result::Ok) {
        zip.targetUnwritable = reached == ConfinedFolder::Result::Failed;
        return kZipCannotOpenFile;
    }
    const ReplacementFile::Result created = ReplacementFile::Create(
        folder, target.file, zip.describedData.unixExecutable, file, zip.release);
    if (created != ReplacementFile::Result::Ok) {
        zip.targetUnwritable = created == ReplacementFile::Result::Unwritable;
        return kZipCannotOpenFile;
    }
    if (const ZipResult opened = OpenEntryStream(zip); opened != kZipSuccess) return opened;
    if (const ZipResult copied = CopyEntryStream(zip, file); copied != kZipSuccess) {
        return copied;
    }
    const ZipEntry& entry = zip.described;
    const bool readOnly = (entry.attributes & kZipAttributeReadOnly) != 0;
    if (!file.Commit(readOnly, ZipTimePointOf(entry.accessTime),
                     ZipTimePointOf(entry.modificationTime))) {
        return kZipWriteFailed;
    }
    return kZipSuccess;
}

ZipResult ExtractEntry(ZipHandle& zip, int index, const wchar_t* name) {
    zip.targetUnwritable = false;
    if (const ZipResult described = DescribeZipEntry(zip, index); described != kZipSuccess) {
        return described;
    }
    if (zip.describedData.nameTooLong) return kZipCannotOpenFile;
    const Target target = SplitTarget(name);
    if (target.kind == TargetKind::Drive) return kZipBadArguments;
    // Nothing is written above the base, whatever the name says.
    if (target.kind == TargetKind::BelowBase && ZipNameLeadsUpwards(target.folder + target.file)) {
        return kZipCannotOpenFile;
    }
    if (zip.described.attributes & kZipAttributeDirectory) return ExtractFolder(zip, target);
    const ZipResult result = ExtractFile(zip, target);
    CloseZipEntryStream(zip);
    return result;
}

}  // namespace

ZipResult UnzipEntryToFile(ZipHandle* zip, int index, const wchar_t* target) {
    if (const ZipResult check = CheckZipHandle(zip); check != kZipSuccess) return ZipReturn(check);
    if (!target || index < 0) return ZipReturn(kZipBadArguments);
    if (index >= zip->entryCount) return ZipReturn(kZipSuccess);
    try {
        return ZipReturn(ExtractEntry(*zip, index, target));
    } catch (const std::bad_alloc&) {
        CloseZipEntryStream(*zip);
        return ZipReturn(kZipNoMemory);
    }
}
