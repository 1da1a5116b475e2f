#include "TestZip.h"

#include <zlib.h>

#include <stdexcept>

#include "TempDir.h"

namespace vesk::test {

namespace {

void Put16(std::string& out, std::uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

std::string RawDeflate(const std::string& data) {
    z_stream stream{};
    if (deflateInit2(&stream, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&stream, data.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// The fields local header and central record share, from "version needed" to the lengths.
void PutCommon(std::string& out, const TestZipEntry& entry, std::uint32_t crc, std::size_t stored,
               std::size_t extraSize) {
    Put16(out, 20);
    Put16(out, entry.flags);
    Put16(out, entry.method.value_or(entry.deflate ? 8 : 0));
    Put16(out, entry.dosTime);
    Put16(out, entry.dosDate);
    Put32(out, crc);
    Put32(out, static_cast<std::uint32_t>(stored));
    Put32(out, static_cast<std::uint32_t>(entry.data.size()));
    Put16(out, static_cast<std::uint32_t>(entry.name.size()));
    Put16(out, static_cast<std::uint32_t>(extraSize));
}

}  // namespace

TestZipEntry UnixEntry(std::string name, std::string data, std::uint32_t mode) {
    TestZipEntry entry{std::move(name), std::move(data)};
    entry.versionMadeBy = (3 << 8) | 20;
    entry.externalAttributes = mode << 16;
    return entry;
}

std::string ExtendedTimestamp(std::uint8_t flags, std::vector<std::uint32_t> times) {
    std::string block;
    Put16(block, 0x5455);
    Put16(block, static_cast<std::uint32_t>(1 + 4 * times.size()));
    block += static_cast<char>(flags);
    for (std::uint32_t time : times) Put32(block, time);
    return block;
}

std::uint16_t DosDate(int year, int month, int day) {
    return static_cast<std::uint16_t>(((year - 1980) << 9) | (month << 5) | day);
}

std::uint16_t DosTime(int hour, int minute, int second) {
    return static_cast<std::uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

std::string BuildZip(const std::vector<TestZipEntry>& entries) {
    std::string archive, directory;
    for (const TestZipEntry& entry : entries) {
        const std::uint32_t offset = static_cast<std::uint32_t>(archive.size());
        std::uint32_t crc =
            static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()),
                                             static_cast<uInt>(entry.data.size())));
        if (entry.wrongCrc) crc ^= 0x1;
        std::string stored = entry.deflate ? RawDeflate(entry.data) : entry.data;
        const std::size_t storedSize = stored.size();
        if (entry.keepBytes < stored.size()) stored.resize(entry.keepBytes);

        Put32(archive, 0x04034b50);
        PutCommon(archive, entry, crc, storedSize, entry.localExtra.size());
        archive += entry.name + entry.localExtra + stored;

        Put32(directory, 0x02014b50);
        Put16(directory, entry.versionMadeBy);
        PutCommon(directory, entry, crc, storedSize, 0);
        Put16(directory, 0);  // comment
        Put16(directory, 0);  // disk
        Put16(directory, 0);  // internal attributes
        Put32(directory, entry.externalAttributes);
        Put32(directory, offset);
        directory += entry.name;
    }
    const std::uint32_t directoryOffset = static_cast<std::uint32_t>(archive.size());
    archive += directory;
    Put32(archive, 0x06054b50);
    Put16(archive, 0);
    Put16(archive, 0);
    Put16(archive, static_cast<std::uint32_t>(entries.size()));
    Put16(archive, static_cast<std::uint32_t>(entries.size()));
    Put32(archive, static_cast<std::uint32_t>(directory.size()));
    Put32(archive, directoryOffset);
    Put16(archive, 0);
    return archive;
}

void WriteZip(const std::filesystem::path& path, const std::vector<TestZipEntry>& entries) {
    WriteFileBytes(path, BuildZip(entries));
}

}  // namespace vesk::test
