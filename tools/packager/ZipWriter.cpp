#include "ZipWriter.h"

#include <minizip/zip.h>

#include <algorithm>
#include <ctime>
#include <fstream>

namespace vesk::packager {
namespace {

constexpr unsigned long kMadeOnUnix = (3 << 8) | 20;
constexpr unsigned long kUtf8NameFlag = 0x800;
constexpr unsigned long kDosReadOnly = 0x01;
constexpr unsigned long kDosDirectory = 0x10;
constexpr char kExtendedTimestampId[] = {'U', 'T'};
constexpr char kModifiedAndAccessed = 0x03;
constexpr std::size_t kBufferSize = 65536;

void Put32(std::string& out, std::int64_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(bits >> shift));
}

// The local block carries both times; the central one by custom only the first.
std::string ExtendedTimestamp(std::int64_t modified, bool local) {
    std::string block(kExtendedTimestampId, 2);
    block.push_back(static_cast<char>(local ? 9 : 5));
    block.push_back(0);
    block.push_back(kModifiedAndAccessed);
    Put32(block, modified);
    if (local) Put32(block, modified);
    return block;
}

// The DOS time is read back as local time; it cannot hold dates outside 1980 to 2107.
tm_zip DosTimeOf(std::int64_t modified) {
    const std::time_t time = static_cast<std::time_t>(modified);
    std::tm local{};
    localtime_r(&time, &local);
    tm_zip out{};
    const int year = local.tm_year + 1900;
    if (year < 1980) {
        out.tm_year = 1980;
        out.tm_mday = 1;
        return out;
    }
    out.tm_year = static_cast<uInt>(std::min(year, 2107));
    out.tm_mon = static_cast<uInt>(local.tm_mon);
    out.tm_mday = static_cast<uInt>(local.tm_mday);
    out.tm_hour = static_cast<uInt>(local.tm_hour);
    out.tm_min = static_cast<uInt>(local.tm_min);
    out.tm_sec = static_cast<uInt>(local.tm_sec);
    return out;
}

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string CopyData(zipFile zip, const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "cannot read \"" + path + "\"";
    std::string buffer(kBufferSize, '\0');
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        if (in.bad()) return "cannot read \"" + path + "\"";
        const auto n = static_cast<unsigned>(in.gcount());
        if (n > 0 && zipWriteInFileInZip(zip, buffer.data(), n) != ZIP_OK)
            return "cannot write the package";
    }
    return {};
}

std::string AddEntry(zipFile zip, const ReleaseTree& tree, const ReleaseItem& item) {
    const std::string name = item.folder ? item.name + "/" : item.name;
    zip_fileinfo info{};
    info.tmz_date = DosTimeOf(item.modified);
    info.external_fa = static_cast<uLong>(item.mode) << 16;
    if (item.readOnly()) info.external_fa |= kDosReadOnly;
    if (item.folder) info.external_fa |= kDosDirectory;
    const std::string local = ExtendedTimestamp(item.modified, true);
    const std::string central = ExtendedTimestamp(item.modified, false);
    const int method = item.folder ? 0 : Z_DEFLATED;
    if (zipOpenNewFileInZip4_64(
            zip, name.c_str(), &info, local.data(), static_cast<uInt>(local.size()), central.data(),
            static_cast<uInt>(central.size()), nullptr, method, Z_DEFAULT_COMPRESSION, 0,
            -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, kMadeOnUnix,
            IsAscii(name) ? 0 : kUtf8NameFlag, 0) != ZIP_OK) {
        return "cannot write the package";
    }
    std::string problem = item.folder ? std::string() : CopyData(zip, tree.PathOf(item));
    if (zipCloseFileInZip(zip) != ZIP_OK && problem.empty()) problem = "cannot write the package";
    return problem;
}

}  // namespace

std::string WriteZip(const PackagePlan& plan, const std::string& path) {
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (!zip) return "cannot create \"" + path + "\"";
    std::string problem;
    for (const ReleaseItem* item : plan.entries) {
        problem = AddEntry(zip, *plan.tree, *item);
        if (!problem.empty()) break;
    }
    if (zipClose(zip, nullptr) != ZIP_OK && problem.empty()) problem = "cannot write the package";
    return problem;
}

}  // namespace vesk::packager
