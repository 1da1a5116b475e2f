// The package unpacked is the package checked: the check holds the file open and every worker
// of the extraction reads through that descriptor, whatever is at the package's path by then.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "PackageChecksum.h"
#include "PackageExtraction.h"
#include "TempDir.h"
#include "TestZip.h"
#include "digest/FileDigest.h"

namespace {

namespace fs = std::filesystem;
using vesk::test::ReadFileBytes;
using vesk::test::TestZipEntry;
using vesk::test::WriteZip;

// Enough entries that four workers share them out.
std::vector<TestZipEntry> Release(char letter) {
    std::vector<TestZipEntry> entries;
    for (int i = 0; i < 16; ++i)
        entries.push_back({"data/f" + std::to_string(i), std::string(1 << 16, letter)});
    return entries;
}

TEST(HeldPackage, WhatIsAtThePathAfterTheCheckIsNeverUnpacked) {
    using Swap = std::function<void(const fs::path& package, const fs::path& other)>;
    const struct {
        const char* what;
        Swap swap;
    } rows[] = {
        {"another package renamed over it",
         [](const fs::path& package, const fs::path& other) { fs::rename(other, package); }},
        {"a link to another package in its place",
         [](const fs::path& package, const fs::path& other) {
             fs::remove(package);
             fs::create_symlink(other, package);
         }},
        {"the package deleted",
         [](const fs::path& package, const fs::path&) { fs::remove(package); }},
    };
    for (const int workers : {1, 4}) {
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.what) + ", workers " + std::to_string(workers));
            vesk::test::TempDir dir;
            const fs::path package = dir / "tmp/p.zip";
            fs::create_directories(dir / "tmp");
            fs::create_directories(dir / "program");
            WriteZip(package, Release('g'));
            WriteZip(dir / "evil.zip", Release('e'));
            const UpdatePackage described{
                .name = L"p.zip",
                .sha256 = vesk::digest::FileSha256Hex(package.wstring()).value_or(""),
                .size = static_cast<std::int32_t>(fs::file_size(package))};

            const CheckedPackage checked = CheckDownloadedPackage(described, package.wstring());
            ASSERT_EQ(checked.result, PackageCheck::Matches);
            ASSERT_TRUE(checked.file);
            row.swap(package, dir / "evil.zip");
            const PackageExtractionResult result = ExtractHeldPackage(
                checked.file->Descriptor(), (dir / "program").wstring() + L"/", workers);
            EXPECT_TRUE(result.opened);
            EXPECT_EQ(result.workers, workers);
            EXPECT_EQ(result.failedEntries, 0);
            for (int i = 0; i < 16; ++i) {
                EXPECT_EQ(ReadFileBytes(dir / "program/data" / ("f" + std::to_string(i))),
                          std::string(1 << 16, 'g'))
                    << i;
            }
        }
    }
}

}  // namespace
