#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string_view>

#include "TempDir.h"
#include "fs/ConfinedFolder.h"
#include "fs/ReplacementFile.h"

using namespace vesk::fs;
using vesk::test::ReadFileBytes;
using vesk::test::TempDir;
using vesk::test::WriteFileBytes;

namespace {

constexpr uid_t kNobody = 65534;

bool Replace(const TempDir& dir, std::wstring_view name, std::string_view content,
             ReplacementFile::Durability durability) {
    ConfinedFolder folder;
    ReplacementFile file;
    const auto now = std::chrono::system_clock::now();
    return ConfinedFolder::Open(dir.wide(), L"", false, folder) == ConfinedFolder::Result::Ok &&
           ReplacementFile::Create(folder, name, false, file) == ReplacementFile::Result::Ok &&
           file.Write(content.data(), content.size()) && file.Commit(false, now, now, durability);
}

struct stat StatOf(const std::filesystem::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return info;
}

TEST(ReplacementFile, DurableCommitReplacesAndKeepsThePermissions) {
    TempDir dir;
    WriteFileBytes(dir / "Config.ini", "old");
    ASSERT_EQ(::chmod((dir / "Config.ini").c_str(), 0640), 0);
    ASSERT_TRUE(Replace(dir, L"Config.ini", "new", ReplacementFile::Durability::Durable));
    EXPECT_EQ(ReadFileBytes(dir / "Config.ini"), "new");
    EXPECT_EQ(StatOf(dir / "Config.ini").st_mode & 07777, 0640u);
    ASSERT_TRUE(Replace(dir, L"Fresh.ini", "made", ReplacementFile::Durability::Durable));
    EXPECT_EQ(ReadFileBytes(dir / "Fresh.ini"), "made");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

TEST(ReplacementFile, ReplacedFileKeepsItsOwnerAndGroup) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
    TempDir dir;
    WriteFileBytes(dir / "data.bin", "old");
    ASSERT_EQ(::chown((dir / "data.bin").c_str(), kNobody, kNobody), 0);
    ASSERT_TRUE(Replace(dir, L"data.bin", "new", ReplacementFile::Durability::Lazy));
    const struct stat info = StatOf(dir / "data.bin");
    EXPECT_EQ(info.st_uid, kNobody);
    EXPECT_EQ(info.st_gid, kNobody);
}

// The child gives root up, so the old owner is one it may not hand the new file to.
TEST(ReplacementFile, OwnerThatCannotBeKeptIsNoFailure) {
    if (geteuid() != 0) GTEST_SKIP() << "needs a file owned by another user";
    TempDir dir;
    WriteFileBytes(dir / "data.bin", "old");
    ASSERT_EQ(::chmod((dir / "data.bin").c_str(), 0666), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(2);
        _exit(Replace(dir, L"data.bin", "new", ReplacementFile::Durability::Durable) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFileBytes(dir / "data.bin"), "new");
    EXPECT_EQ(StatOf(dir / "data.bin").st_uid, kNobody);
    EXPECT_EQ(StatOf(dir / "data.bin").st_mode & 07777, 0666u);
}

}  // namespace
