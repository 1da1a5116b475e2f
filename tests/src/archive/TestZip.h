#pragma once
// Builds ZIP archives byte by byte for the archive reader's tests, so odd cases (foreign
// hosts, extra fields, wrong CRCs, names no packer would write) are easy to make.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vesk::test {

struct TestZipEntry {
    std::string name;
    std::string data;
    bool deflate = true;
    // Recorded as the method instead of 8 or 0, the data kept as deflate says.
    std::optional<std::uint16_t> method;
    std::uint16_t versionMadeBy = 20;  // host 0: DOS attributes
    std::uint32_t externalAttributes = 0;
    std::uint16_t dosDate = (40 << 9) | (1 << 5) | 1;  // 2020-01-01
    std::uint16_t dosTime = 0;
    std::uint16_t flags = 0;
    std::string localExtra;
    bool wrongCrc = false;
    // Cuts the stored data to this many bytes, sizes left as they were.
    std::size_t keepBytes = SIZE_MAX;
};

// An entry made on a Unix host with the given mode (type and permission bits).
TestZipEntry UnixEntry(std::string name, std::string data, std::uint32_t mode);
// An extended-timestamp block with the times its flags name, in order.
std::string ExtendedTimestamp(std::uint8_t flags, std::vector<std::uint32_t> times);
std::uint16_t DosDate(int year, int month, int day);
std::uint16_t DosTime(int hour, int minute, int second);

std::string BuildZip(const std::vector<TestZipEntry>& entries);
void WriteZip(const std::filesystem::path& path, const std::vector<TestZipEntry>& entries);

}  // namespace vesk::test
