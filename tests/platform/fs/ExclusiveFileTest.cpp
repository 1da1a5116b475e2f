#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "TempDir.h"
#include "WithoutFileLocks.h"
#include "fs/Files.h"
#include "fs/Paths.h"

using namespace vesk::fs;
using vesk::test::TempDir;
using vesk::test::WriteFileBytes;
using Access = ExclusiveFile::Access;
using Result = ExclusiveFile::Result;

TEST(ExclusiveFile, ReadWriteHolderTurnsEveryOtherOpenAwayAtOnce) {
    TempDir dir;
    const std::wstring path = dir.wide() + L"data.bin";
    WriteFileBytes(dir / "data.bin", "payload");
    ExclusiveFile holder, other;
    ASSERT_EQ(ExclusiveFile::Open(path, Access::ReadWrite, false, holder), Result::Ok);
    EXPECT_EQ(ExclusiveFile::Open(path, Access::Read, false, other), Result::Locked);
    EXPECT_EQ(ExclusiveFile::Open(path, Access::ReadWrite, false, other), Result::Locked);
    EXPECT_FALSE(other.IsOpen());
    EXPECT_TRUE(IsFileLocked(path));

    holder.Close();
    EXPECT_FALSE(IsFileLocked(path));
    ASSERT_EQ(ExclusiveFile::Open(path, Access::Read, false, other), Result::Ok);
    EXPECT_EQ(other.ReadAll(), "payload");
}

TEST(ExclusiveFile, ReadHoldersShareButKeepWritersOut) {
    TempDir dir;
    const std::wstring path = dir.wide() + L"data.bin";
    WriteFileBytes(dir / "data.bin", "x");
    ExclusiveFile first, second, writer;
    ASSERT_EQ(ExclusiveFile::Open(path, Access::Read, false, first), Result::Ok);
    EXPECT_EQ(ExclusiveFile::Open(path, Access::Read, false, second), Result::Ok);
    EXPECT_EQ(ExclusiveFile::Open(path, Access::ReadWrite, false, writer), Result::Locked);
    EXPECT_TRUE(IsFileLocked(path));
}

TEST(ExclusiveFile, MovedHandleKeepsTheLock) {
    TempDir dir;
    const std::wstring path = dir.wide() + L"data.bin";
    WriteFileBytes(dir / "data.bin", "x");
    ExclusiveFile original;
    ASSERT_EQ(ExclusiveFile::Open(path, Access::ReadWrite, false, original), Result::Ok);
    ExclusiveFile moved(std::move(original));
    EXPECT_FALSE(original.IsOpen());
    EXPECT_TRUE(IsFileLocked(path));
    moved = ExclusiveFile();
    EXPECT_FALSE(IsFileLocked(path));
}

TEST(ExclusiveFile, AbsentFileIsNotFoundOrCreatedEmpty) {
    TempDir dir;
    const std::wstring path = dir.wide() + L"new.bin";
    ExclusiveFile file;
    EXPECT_EQ(ExclusiveFile::Open(path, Access::ReadWrite, false, file), Result::NotFound);
    EXPECT_FALSE(std::filesystem::exists(dir / "new.bin"));
    ASSERT_EQ(ExclusiveFile::Open(path, Access::ReadWrite, true, file), Result::Ok);
    EXPECT_EQ(file.ReadAll(), "");
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "new.bin"));
    EXPECT_EQ(std::filesystem::file_size(dir / "new.bin"), 0u);
}

TEST(ExclusiveFile, OnlyRegularFilesOpen) {
    TempDir dir;
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    ExclusiveFile file;
    // A FIFO without a writer would block a plain open forever.
    EXPECT_EQ(ExclusiveFile::Open(dir.wide() + L"fifo", Access::Read, false, file), Result::Failed);
    EXPECT_EQ(ExclusiveFile::Open(dir.wide(), Access::Read, false, file), Result::Failed);
}

TEST(ExclusiveFile, ReadAllReadsEverythingFromTheStart) {
    TempDir dir;
    std::string content(200000, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7);
    WriteFileBytes(dir / "big.bin", content);
    ExclusiveFile file;
    ASSERT_EQ(ExclusiveFile::Open(dir.wide() + L"big.bin", Access::Read, false, file), Result::Ok);
    EXPECT_EQ(file.ReadAll(), content);
    EXPECT_EQ(file.ReadAll(), content) << "a second read starts over";
    file.Close();
    EXPECT_EQ(file.ReadAll(), std::nullopt);
}

TEST(IsFileLocked, AbsentFilesAreFreeAndUnwritableOnesLocked) {
    TempDir dir;
    EXPECT_FALSE(IsFileLocked(dir.wide() + L"missing"));
    WriteFileBytes(dir / "free.txt", "x");
    EXPECT_FALSE(IsFileLocked(dir.wide() + L"free.txt"));
    EXPECT_TRUE(IsFileLocked(dir.wide())) << "a folder never opens for writing";
    ASSERT_EQ(chmod((dir / "free.txt").c_str(), 0444), 0);
    // Root opens read-only files for writing all the same.
    if (geteuid() != 0) {
        EXPECT_TRUE(IsFileLocked(dir.wide() + L"free.txt"));
    }
}

// Where no lock can be had at all nobody can hold one: the file is usable, and free.
TEST(ExclusiveFile, FileSystemWithoutLocksOpensUnprotected) {
    TempDir dir;
    const std::wstring path = dir.wide() + L"data.bin";
    WriteFileBytes(dir / "data.bin", "payload");
    Result readWrite = Result::Failed, read = Result::Failed, created = Result::Failed;
    std::optional<std::string> content;
    bool locked = true;
    if (!vesk::test::RunWithoutFileLocks([&] {
            ExclusiveFile file;
            readWrite = ExclusiveFile::Open(path, Access::ReadWrite, false, file);
            content = file.ReadAll();
            read = ExclusiveFile::Open(path, Access::Read, false, file);
            created = ExclusiveFile::Open(dir.wide() + L"new.bin", Access::ReadWrite, true, file);
            locked = IsFileLocked(path);
        }))
        GTEST_SKIP() << "no system call filter here";
    EXPECT_EQ(readWrite, Result::Ok);
    EXPECT_EQ(content, "payload");
    EXPECT_EQ(read, Result::Ok);
    EXPECT_EQ(created, Result::Ok);
    EXPECT_FALSE(locked);
}

// Names that differ only in bytes that are not UTF-8 are different files.
TEST(ExclusiveFile, NamesThatAreNotUtf8OpenTheFileThatIsThere) {
    TempDir dir;
    const std::string folder = (dir / "\xFF\xC3-\xED\xA0\x80").string();
    WriteFileBytes(folder + "/\xFE", "first");
    WriteFileBytes(folder + "/\xFD", "second");
    const char* const names[][2] = {{"\xFE", "first"}, {"\xFD", "second"}};
    for (const auto& [name, content] : names) {
        ExclusiveFile file;
        ASSERT_EQ(
            ExclusiveFile::Open(WidePath(folder + "/" + name), Access::ReadWrite, false, file),
            Result::Ok);
        EXPECT_EQ(file.ReadAll(), content);
        EXPECT_TRUE(IsFileLocked(WidePath(folder + "/" + name)));
    }
    ExclusiveFile created;
    ASSERT_EQ(ExclusiveFile::Open(WidePath(folder + "/\xC3"), Access::ReadWrite, true, created),
              Result::Ok);
    EXPECT_TRUE(std::filesystem::exists(folder + "/\xC3"));
}
