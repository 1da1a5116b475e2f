#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "TempDir.h"
#include "fs/Files.h"
#include "fs/Paths.h"

using namespace vesk::fs;
using vesk::test::TempDir;
using vesk::test::WriteFileBytes;

TEST(Files, CreateFolderMakesOneLevelOnly) {
    TempDir dir;
    EXPECT_FALSE(CreateFolder(dir.wide() + L"a/b"));
    EXPECT_TRUE(CreateFolder(dir.wide() + L"a"));
    EXPECT_FALSE(CreateFolder(dir.wide() + L"a"));
    EXPECT_TRUE(CreateFolder(dir.wide() + L"a/b/"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "a/b"));
}

TEST(Files, CreateFolderTreeMakesEveryMissingParent) {
    TempDir dir;
    const std::wstring deep = dir.wide() + L"one/two/drei ü/four/";
    EXPECT_TRUE(CreateFolderTree(deep));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "one/two/drei ü/four"));
    EXPECT_TRUE(CreateFolderTree(deep)) << "an existing tree is success";
    EXPECT_TRUE(CreateFolderTree(dir.wide() + L"one/two/five"));
}

TEST(Files, CreateFolderTreeFailsWithAFileInTheWay) {
    TempDir dir;
    WriteFileBytes(dir / "blocker", "x");
    EXPECT_FALSE(CreateFolderTree(dir.wide() + L"blocker"));
    EXPECT_FALSE(CreateFolderTree(dir.wide() + L"blocker/below/deeper"));
    EXPECT_FALSE(CreateFolderTree(L""));
}

TEST(Files, AttributesTellFoldersAndReadOnlyFiles) {
    TempDir dir;
    WriteFileBytes(dir / "f.txt", "x");
    EXPECT_EQ(GetAttributes(dir.wide() + L"missing"), std::nullopt);
    const auto folder = GetAttributes(dir.wide());
    ASSERT_TRUE(folder);
    EXPECT_TRUE(folder->folder);
    const auto file = GetAttributes(dir.wide() + L"f.txt");
    ASSERT_TRUE(file);
    EXPECT_FALSE(file->folder);
    EXPECT_FALSE(file->readOnly);
}

// Only "no such file" is absence: a dangling link, a loop of links or a path through a plain
// file are all something the caller cannot take for nothing.
TEST(Files, OnlyWhatTheSystemSaysIsNotThereIsAbsent) {
    TempDir dir;
    WriteFileBytes(dir / "file", "x");
    std::filesystem::create_symlink(dir / "nowhere", dir / "dangling");
    std::filesystem::create_symlink(dir / "loop", dir / "loop");
    const struct {
        const wchar_t* name;
        bool absent;
    } rows[] = {{L"missing", true},   {L"missing/below", true}, {L"file", false},  {L"", false},
                {L"dangling", false}, {L"loop", false},         {L"file/x", false}};
    for (const auto& row : rows) {
        EXPECT_EQ(IsAbsent(dir.wide() + row.name), row.absent) << NativePath(row.name);
    }
}

TEST(Files, ReadOnlyRoundTrip) {
    TempDir dir;
    const std::wstring path = dir.wide() + L"f.txt";
    WriteFileBytes(dir / "f.txt", "x");
    ASSERT_EQ(chmod((dir / "f.txt").c_str(), 0664), 0);

    ASSERT_TRUE(SetReadOnly(path, true));
    struct stat info {};
    ASSERT_EQ(stat((dir / "f.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0444u) << "every write bit goes, the rest stays";
    EXPECT_TRUE(GetAttributes(path)->readOnly);

    ASSERT_TRUE(SetReadOnly(path, false));
    ASSERT_EQ(stat((dir / "f.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    EXPECT_FALSE(GetAttributes(path)->readOnly);
    EXPECT_FALSE(SetReadOnly(dir.wide() + L"missing", true));
}

TEST(Files, DeleteFileLeavesFoldersAndRemoveFolderOnlyEmptyOnes) {
    TempDir dir;
    WriteFileBytes(dir / "sub/f.txt", "x");
    EXPECT_FALSE(DeleteFile(dir.wide() + L"sub"));
    EXPECT_FALSE(RemoveFolder(dir.wide() + L"sub"));
    EXPECT_TRUE(DeleteFile(dir.wide() + L"sub/f.txt"));
    EXPECT_FALSE(DeleteFile(dir.wide() + L"sub/f.txt"));
    EXPECT_TRUE(RemoveFolder(dir.wide() + L"sub/"));
    EXPECT_FALSE(std::filesystem::exists(dir / "sub"));
}

TEST(Files, FreeDiskBytesMatchesTheFileSystem) {
    TempDir dir;
    const auto bytes = FreeDiskBytes(dir.wide());
    ASSERT_TRUE(bytes);
    // Other programs write meanwhile, so the two readings agree only roughly.
    const auto space = std::filesystem::space(dir.path());
    EXPECT_GT(*bytes, 0u);
    EXPECT_LE(*bytes, space.capacity);
    EXPECT_NEAR(static_cast<double>(*bytes), static_cast<double>(space.available), 1e9);
    EXPECT_EQ(FreeDiskBytes(dir.wide() + L"missing/"), std::nullopt);
}

TEST(Files, FileNamesInListsOnlyTheFolderOwnRegularFiles) {
    TempDir dir;
    WriteFileBytes(dir / "a.part", "a");
    WriteFileBytes(dir / "sub/b.part", "b");
    std::filesystem::create_symlink(dir / "a.part", dir / "link.part");
    std::vector<std::wstring> names = FileNamesIn(dir.wide());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, std::vector<std::wstring>({L"a.part"}));
    EXPECT_TRUE(FileNamesIn(dir.wide() + L"missing/").empty());
}

TEST(Files, RenameReplacesTheTargetAndAnOpenFileAppendsAtItsEnd) {
    TempDir dir;
    WriteFileBytes(dir / "part", "new");
    WriteFileBytes(dir / "name", "old");
    ASSERT_TRUE(RenameFile(dir.wide() + L"part", dir.wide() + L"name"));
    EXPECT_FALSE(std::filesystem::exists(dir / "part"));
    EXPECT_EQ(vesk::test::ReadFileBytes(dir / "name"), "new");
    EXPECT_FALSE(RenameFile(dir.wide() + L"part", dir.wide() + L"name"));

    ExclusiveFile file;
    ASSERT_EQ(
        ExclusiveFile::Open(dir.wide() + L"name", ExclusiveFile::Access::ReadWrite, false, file),
        ExclusiveFile::Result::Ok);
    EXPECT_EQ(file.SeekToEnd(), 3u);
    ASSERT_TRUE(file.Write("er", 2));
    file.Close();
    EXPECT_EQ(vesk::test::ReadFileBytes(dir / "name"), "newer");
    EXPECT_EQ(GetAttributes(dir.wide() + L"name")->size, 5u);
}
