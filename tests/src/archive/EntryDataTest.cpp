// The data of entries through the archive reader: entries larger than the inflater's buffers
// come out whole, and an announced size the data does not match is damage.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "TempDir.h"
#include "TestZip.h"
#include "ZipArchive.h"

namespace {

namespace stdfs = std::filesystem;
using vesk::test::BuildZip;
using vesk::test::ReadFileBytes;
using vesk::test::TempDir;
using vesk::test::TestZipEntry;
using vesk::test::WriteFileBytes;

constexpr char kLocalSignature[] = "PK\x03\x04";
constexpr char kCentralSignature[] = "PK\x01\x02";
constexpr std::size_t kLocalSizeOffset = 22;
constexpr std::size_t kCentralSizeOffset = 24;

// Records size as the only entry's uncompressed size in both of its headers.
std::string WithAnnouncedSize(std::string zip, std::uint32_t size) {
    const std::size_t local = zip.find(std::string(kLocalSignature, 4));
    const std::size_t central = zip.find(std::string(kCentralSignature, 4));
    EXPECT_EQ(local, 0u);
    EXPECT_NE(central, std::string::npos);
    for (const std::size_t at : {local + kLocalSizeOffset, central + kCentralSizeOffset}) {
        for (int i = 0; i < 4; ++i) zip[at + i] = static_cast<char>(size >> (8 * i));
    }
    return zip;
}

std::string LargeData() {
    std::string data;
    std::uint32_t noise = 99;
    for (int block = 0; data.size() < 1500000; ++block) {
        for (int i = 0; i < 2000; ++i) data += "line " + std::to_string(block * i % 1009) + '\n';
        for (int i = 0; i < 9000; ++i) data += static_cast<char>((noise = noise * 69069 + 1) >> 24);
    }
    return data;
}

class EntryDataTest : public testing::Test {
protected:
    EntryDataTest() : m_program(m_root / "program") { stdfs::create_directory(m_program); }

    // The result of extracting the only entry of the package as "f.dat".
    ZipResult ExtractBytes(const std::string& zip) {
        WriteFileBytes(m_root / "p.zip", zip);
        ZipHandle* handle = OpenZipFile((m_root.wide() + L"p.zip").c_str(), nullptr);
        SetZipBaseFolder(handle, m_program.wstring().c_str());
        const ZipResult result = UnzipEntryToFile(handle, 0, L"f.dat");
        CloseZipFile(handle);
        return result;
    }

    TempDir m_root;
    stdfs::path m_program;
};

TEST_F(EntryDataTest, EntriesLargerThanTheBuffersComeOutWhole) {
    const std::string data = LargeData();
    for (const bool deflate : {true, false}) {
        TestZipEntry entry{"f.dat", data};
        entry.deflate = deflate;
        ASSERT_EQ(ExtractBytes(BuildZip({entry})), kZipSuccess) << deflate;
        EXPECT_TRUE(ReadFileBytes(m_program / "f.dat") == data) << deflate;
    }
}

// What the data holds past the announced size, or short of it, is damage, and the file in
// the entry's place stays as it was.
TEST_F(EntryDataTest, AnnouncedSizeTheDataDoesNotMatchIsDamage) {
    const std::string data = LargeData();
    const auto size = static_cast<std::uint32_t>(data.size());
    for (const bool deflate : {true, false}) {
        TestZipEntry entry{"f.dat", data};
        entry.deflate = deflate;
        const std::string zip = BuildZip({entry});
        for (const std::uint32_t announced : {size - 1, size / 2, size + 1}) {
            WriteFileBytes(m_program / "f.dat", "old");
            EXPECT_EQ(ExtractBytes(WithAnnouncedSize(zip, announced)), kZipCorrupt)
                << deflate << ' ' << announced;
            EXPECT_EQ(ReadFileBytes(m_program / "f.dat"), "old") << deflate << ' ' << announced;
        }
    }
}

}  // namespace
