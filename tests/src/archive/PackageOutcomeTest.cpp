// What a whole package's extraction reports about the entries that failed, and which of
// those failures a later run can cure.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "PackageExtraction.h"
#include "TempDir.h"
#include "TestZip.h"

namespace {

namespace stdfs = std::filesystem;
using vesk::test::BuildZip;
using vesk::test::ReadFileBytes;
using vesk::test::TempDir;
using vesk::test::TestZipEntry;
using vesk::test::WriteFileBytes;
using vesk::test::WriteZip;

struct Failure {
    int index;
    std::wstring name;
    ZipResult code;
    bool curable;
    bool operator==(const Failure&) const = default;
};

void PrintTo(const Failure& f, std::ostream* out) {
    *out << "{" << f.index << ", " << stdfs::path(f.name) << ", 0x" << std::hex << f.code
         << (f.curable ? ", curable}" : ", permanent}");
}

std::vector<Failure> FailuresOf(const PackageExtractionResult& result) {
    std::vector<Failure> failures;
    for (const auto& f : result.failures)
        failures.push_back({f.index, f.name, f.code, IsCurableZipFailure(f.code)});
    return failures;
}

// Every package puts one entry of the case between two good ones.
class PackageOutcomeTest : public testing::Test {
protected:
    PackageOutcomeTest() : m_program(m_root / "program") { stdfs::create_directory(m_program); }

    std::vector<TestZipEntry> Between(const TestZipEntry& middle) {
        return {{"before.txt", "b"}, middle, {"after.txt", "a"}};
    }
    PackageExtractionResult ExtractBytes(const std::string& zip) {
        WriteFileBytes(m_root / "p.zip", zip);
        const PackageExtractionResult result =
            ExtractUpdatePackage(m_root.wide() + L"p.zip", m_program.wstring() + L"/");
        EXPECT_TRUE(result.opened);
        EXPECT_EQ(result.entries, 3);
        EXPECT_EQ(result.failedEntries, static_cast<int>(result.failures.size()));
        EXPECT_EQ(ReadFileBytes(m_program / "after.txt"), "a");  // the next entry is tried
        return result;
    }
    PackageExtractionResult Extract(const TestZipEntry& middle) {
        return ExtractBytes(BuildZip(Between(middle)));
    }

    TempDir m_root;
    stdfs::path m_program;
};

TEST_F(PackageOutcomeTest, DamagedDataIsCurable) {
    TestZipEntry wrongCrc{"data/f.dat", std::string(50000, 'v')};
    wrongCrc.wrongCrc = true;
    TestZipEntry cutShort{"data/f.dat", std::string(50000, 'v')};
    cutShort.keepBytes = 20;
    EXPECT_EQ(FailuresOf(Extract(wrongCrc)),
              (std::vector<Failure>{{1, L"data/f.dat", kZipCorrupt, true}}));
    // Inflating runs on into the next entry's bytes; what it makes of them may vary.
    const auto cut = Extract(cutShort);
    ASSERT_EQ(cut.failures.size(), 1u);
    EXPECT_EQ(cut.failures[0].name, L"data/f.dat");
    EXPECT_TRUE(IsCurableZipFailure(cut.failures[0].code)) << std::hex << cut.failures[0].code;
}

// The entry cannot be described at all, so it has no name; the good entry before it must
// not lend it its own.
TEST_F(PackageOutcomeTest, EntryWithADamagedHeaderHasNoName) {
    std::string zip = BuildZip(Between({"middle.txt", "m"}));
    const std::size_t second = zip.find("PK\x03\x04", 1);
    ASSERT_NE(second, std::string::npos);
    zip[second + 2] = 'X';
    EXPECT_EQ(FailuresOf(ExtractBytes(zip)), (std::vector<Failure>{{1, L"", kZipCorrupt, true}}));
}

TEST_F(PackageOutcomeTest, RefusalsOfTheReaderArePermanent) {
    TestZipEntry readOnly{"VeskClient.exe", "first"};
    readOnly.externalAttributes = kZipAttributeReadOnly;
    TestZipEntry encrypted{"secret.txt", "s"};
    encrypted.flags = 1;
    WriteZip(m_root / "earlier.zip", {readOnly});
    ASSERT_EQ(
        ExtractUpdatePackage(m_root.wide() + L"earlier.zip", m_program.wstring()).failedEntries, 0);

    EXPECT_EQ(FailuresOf(Extract({"VeskClient.exe", "second"})),
              (std::vector<Failure>{{1, L"VeskClient.exe", kZipCannotOpenFile, false}}));
    EXPECT_EQ(ReadFileBytes(m_program / "VeskClient.exe"), "first");
    EXPECT_EQ(FailuresOf(Extract({"../outside.txt", "o"})),
              (std::vector<Failure>{{1, L"../outside.txt", kZipCannotOpenFile, false}}));
    EXPECT_FALSE(stdfs::exists(m_root / "outside.txt"));
    EXPECT_EQ(FailuresOf(Extract(encrypted)),
              (std::vector<Failure>{{1, L"secret.txt", kZipPasswordRequired, false}}));
}

}  // namespace
