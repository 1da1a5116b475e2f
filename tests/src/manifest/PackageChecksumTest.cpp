// Downloaded packages against the digest their manifest gives.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "PackageChecksum.h"
#include "TempDir.h"
#include "digest/FileDigest.h"

namespace {

constexpr char kAbcMd5[] = "900150983cd24fb0d6963f7d28e17f72";

struct ChecksumCase {
    const char* what;
    std::string md5;
    const wchar_t* file;
    bool matches;
};

const ChecksumCase kCases[] = {
    {"no digest", "", L"p.zip", true},
    {"only blanks", " \t\r\n", L"p.zip", true},
    {"no digest, no file", "", L"absent.zip", true},
    {"equal", kAbcMd5, L"p.zip", true},
    {"capital digits", "900150983CD24FB0D6963F7D28E17F72", L"p.zip", true},
    {"blanks around", std::string(" \t") + kAbcMd5 + "\r\n", L"p.zip", true},
    {"another digest", "d41d8cd98f00b204e9800998ecf8427e", L"p.zip", false},
    {"cut short", std::string(kAbcMd5, 31), L"p.zip", false},
    {"one digit more", std::string(kAbcMd5) + "0", L"p.zip", false},
    {"blank inside", "90015098 3cd24fb0d6963f7d28e17f72", L"p.zip", false},
    {"digest, no file", kAbcMd5, L"absent.zip", false},
};

TEST(PackageMatchesChecksum, Cases) {
    vesk::test::TempDir dir;
    vesk::test::WriteFileBytes(dir / "p.zip", "abc");
    for (const ChecksumCase& c : kCases) {
        const UpdatePackage package{.name = L"p.zip", .md5 = c.md5};
        EXPECT_EQ(PackageMatchesChecksum(package, dir.wide() + c.file), c.matches) << c.what;
    }
}

// The check reads what it holds: the size against the manifest's first, then the digest; only
// a regular file reached without a link is held, and nothing that is not the manifest's.
TEST(CheckDownloadedPackage, SizeThenDigestOfTheFileItHolds) {
    vesk::test::TempDir dir;
    vesk::test::WriteFileBytes(dir / "p.zip", "abc");
    std::filesystem::create_symlink(dir / "p.zip", dir / "link.zip");
    ASSERT_EQ(mkfifo((dir / "fifo.zip").c_str(), 0600), 0);
    struct Row {
        const char* what;
        const wchar_t* file;
        std::int32_t size;
        std::string md5;
        PackageCheck result;
    };
    const Row rows[] = {
        {"at its size", L"p.zip", 3, kAbcMd5, PackageCheck::Matches},
        {"below its size", L"p.zip", 4, kAbcMd5, PackageCheck::Matches},
        {"no digest", L"p.zip", 3, "", PackageCheck::Matches},
        {"a negative size reads unsigned", L"p.zip", -1, kAbcMd5, PackageCheck::Matches},
        {"one byte beyond", L"p.zip", 2, kAbcMd5, PackageCheck::TooLarge},
        {"beyond, without a digest", L"p.zip", 0, "", PackageCheck::TooLarge},
        {"another digest", L"p.zip", 3, "d41d8cd98f00b204e9800998ecf8427e", PackageCheck::Differs},
        {"through a link", L"link.zip", 3, kAbcMd5, PackageCheck::Unreadable},
        {"a FIFO", L"fifo.zip", 3, "", PackageCheck::Unreadable},
        {"no file", L"absent.zip", 3, "", PackageCheck::Unreadable},
    };
    for (const Row& row : rows) {
        const UpdatePackage package{.name = L"p.zip", .md5 = row.md5, .size = row.size};
        const CheckedPackage checked = CheckDownloadedPackage(package, dir.wide() + row.file);
        EXPECT_EQ(checked.result, row.result) << row.what;
        EXPECT_EQ(checked.file != nullptr, row.result == PackageCheck::Matches) << row.what;
    }
}

TEST(CheckDownloadedPackage, TheHeldFileStaysWhatWasCheckedAndIsReadByPosition) {
    vesk::test::TempDir dir;
    vesk::test::WriteFileBytes(dir / "p.zip", "abc");
    const UpdatePackage package{.name = L"p.zip", .md5 = kAbcMd5, .size = 3};
    const CheckedPackage checked = CheckDownloadedPackage(package, dir.wide() + L"p.zip");
    ASSERT_TRUE(checked.file);
    vesk::test::WriteFileBytes(dir / "other", "something else");
    std::filesystem::rename(dir / "other", dir / "p.zip");
    EXPECT_EQ(checked.file->Size(), 3u);
    const int fd = checked.file->Descriptor();
    ASSERT_EQ(lseek(fd, 2, SEEK_SET), 2);
    EXPECT_EQ(vesk::digest::DescriptorMd5Hex(fd), kAbcMd5) << "from the start, whatever the offset";
    EXPECT_EQ(vesk::digest::DescriptorMd5Hex(fd), kAbcMd5);
    EXPECT_EQ(lseek(fd, 0, SEEK_CUR), 2) << "the offset stays";
    EXPECT_FALSE(PackageMatchesChecksum(package, dir.wide() + L"p.zip"));
}

}  // namespace
