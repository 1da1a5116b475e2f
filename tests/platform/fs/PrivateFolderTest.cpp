#include "fs/PrivateFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "TempDir.h"
#include "fs/Paths.h"

namespace {

namespace fs = std::filesystem;
using vesk::fs::PrivateFolder;
using vesk::test::ReadFileBytes;
using vesk::test::WriteFileBytes;

mode_t ModeOf(const fs::path& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// Whatever stood at the place, the folder is new, empty and the user's alone; what a link
// there led to is left as it was.
TEST(PrivateFolderTest, MadeFreshInThePlaceOfWhateverWasThere) {
    vesk::test::TempDir dir;
    WriteFileBytes(dir / "elsewhere" / "keep.txt", "kept");
    const mode_t saved = umask(0);
    for (const char* before : {"nothing", "folder", "file", "link"}) {
        const fs::path place = dir / "Tirsa_Temp";
        fs::remove_all(place);
        if (std::string(before) == "folder") WriteFileBytes(place / "old" / "TSPInst.exe", "old");
        if (std::string(before) == "file") WriteFileBytes(place, "a file");
        if (std::string(before) == "link") fs::create_symlink(dir / "elsewhere", place);

        PrivateFolder folder;
        // Named as a folder, with its "/": a link there is still not followed.
        ASSERT_TRUE(PrivateFolder::MakeFresh(vesk::fs::WidePath(place.string() + "/"), folder))
            << before;
        EXPECT_TRUE(fs::is_directory(fs::symlink_status(place))) << before;
        EXPECT_TRUE(fs::is_empty(place)) << before;
        EXPECT_EQ(ModeOf(place), 0700u) << before;
    }
    umask(saved);
    EXPECT_EQ(ReadFileBytes(dir / "elsewhere" / "keep.txt"), "kept");

    PrivateFolder folder;
    EXPECT_FALSE(
        PrivateFolder::MakeFresh(vesk::fs::WidePath((dir / "no/such/parent").string()), folder));
    EXPECT_FALSE(folder.WriteNewFile(L"TSPInst.exe", "bytes", true));
}

TEST(PrivateFolderTest, FilesAreOnlyEverNewAndNeverWrittenThroughALink) {
    vesk::test::TempDir dir;
    const fs::path place = dir / "Tirsa_Temp";
    PrivateFolder folder;
    ASSERT_TRUE(PrivateFolder::MakeFresh(vesk::fs::WidePath(place.string()), folder));

    EXPECT_TRUE(folder.WriteNewFile(L"TSPInst.exe", "program", true));
    EXPECT_EQ(ReadFileBytes(place / "TSPInst.exe"), "program");
    EXPECT_EQ(ModeOf(place / "TSPInst.exe"), 0700u);
    EXPECT_TRUE(folder.WriteNewFile(L"TSPInst.exe.sig", "signature", false));
    EXPECT_EQ(ModeOf(place / "TSPInst.exe.sig"), 0600u);

    EXPECT_FALSE(folder.WriteNewFile(L"TSPInst.exe", "another program", true));
    EXPECT_EQ(ReadFileBytes(place / "TSPInst.exe"), "program");
    fs::create_symlink(dir / "target", place / "linked");
    EXPECT_FALSE(folder.WriteNewFile(L"linked", "through", true));
    EXPECT_FALSE(fs::exists(dir / "target"));
    for (const wchar_t* name : {L"", L".", L"..", L"sub/file"})
        EXPECT_FALSE(folder.WriteNewFile(name, "x", false)) << fs::path(name);
}

}  // namespace
