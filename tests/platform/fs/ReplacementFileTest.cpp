#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "TempDir.h"
#include "fs/ConfinedFolder.h"
#include "fs/ReplacementFile.h"

using namespace vesk::fs;
using vesk::test::ReadFileBytes;
using vesk::test::TempDir;
using vesk::test::WriteFileBytes;

namespace {

namespace stdfs = std::filesystem;

constexpr uid_t kNobody = 65534;
constexpr int kChildCouldNotDropRoot = 100;

ConfinedFolder OpenFolder(const TempDir& dir) {
    ConfinedFolder folder;
    EXPECT_EQ(ConfinedFolder::Open(dir.wide(), L"", false, folder), ConfinedFolder::Result::Ok);
    return folder;
}

bool Replace(const ConfinedFolder& folder, std::wstring_view name, std::string_view content,
             ReplacementFile::Durability durability) {
    ReplacementFile file;
    const auto now = std::chrono::system_clock::now();
    return ReplacementFile::Create(folder, name, false, file) == ReplacementFile::Result::Ok &&
           file.Write(content.data(), content.size()) && file.Commit(false, now, now, durability);
}

bool Replace(const TempDir& dir, std::wstring_view name, std::string_view content,
             ReplacementFile::Durability durability) {
    return Replace(OpenFolder(dir), name, content, durability);
}

struct stat StatOf(const stdfs::path& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info;
}

std::vector<std::string> Names(const stdfs::path& folder) {
    std::vector<std::string> names;
    for (const auto& item : stdfs::directory_iterator(folder)) {
        names.push_back(item.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Runs body in a child that has given root up for "nobody"; its result is the exit code.
// Whatever the child needs of the file system is opened before, so folders above the test's
// own that nobody may search do not matter.
int AsNobody(const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) {
            _exit(kChildCouldNotDropRoot);
        }
        _exit(body());
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// Whether the syncs reach the disk cannot be seen from here; what can is checked.
TEST(ReplacementFile, CommitWithSyncsReplacesAndKeepsThePermissions) {
    TempDir dir;
    WriteFileBytes(dir / "Config.ini", "old");
    ASSERT_EQ(::chmod((dir / "Config.ini").c_str(), 0640), 0);
    ASSERT_TRUE(Replace(dir, L"Config.ini", "new", ReplacementFile::Durability::Durable));
    EXPECT_EQ(ReadFileBytes(dir / "Config.ini"), "new");
    EXPECT_EQ(StatOf(dir / "Config.ini").st_mode & 07777, 0640u);
    ASSERT_TRUE(Replace(dir, L"Fresh.ini", "made", ReplacementFile::Durability::Durable));
    EXPECT_EQ(ReadFileBytes(dir / "Fresh.ini"), "made");
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"Config.ini", "Fresh.ini"}));
}

TEST(ReplacementFile, TargetsThatAreNotReplaced) {
    const struct {
        const char* what;
        std::function<void(const TempDir&)> prepare;
        std::wstring name;
        ReplacementFile::Result result;
    } cases[] = {
        {"read-only file",
         [](const TempDir& dir) {
             WriteFileBytes(dir / "t", "old");
             ASSERT_EQ(::chmod((dir / "t").c_str(), 0444), 0);
         },
         L"t", ReplacementFile::Result::ReadOnly},
        {"folder", [](const TempDir& dir) { stdfs::create_directory(dir / "t"); }, L"t",
         ReplacementFile::Result::Failed},
        {"name longer than the file system allows", [](const TempDir&) {}, std::wstring(256, L'n'),
         ReplacementFile::Result::Failed},
    };
    for (const auto& c : cases) {
        TempDir dir;
        c.prepare(dir);
        const std::vector<std::string> before = Names(dir.path());
        ReplacementFile file;
        EXPECT_EQ(ReplacementFile::Create(OpenFolder(dir), c.name, false, file), c.result)
            << c.what;
        EXPECT_EQ(Names(dir.path()), before) << c.what;
        if (stdfs::is_regular_file(dir / "t")) {
            EXPECT_EQ(ReadFileBytes(dir / "t"), "old") << c.what;
        }
    }
}

TEST(ReplacementFile, LongestNameTheFileSystemAllowsIsReplaced) {
    TempDir dir;
    const std::string name(255, 'n');
    WriteFileBytes(dir / name, "old");
    ASSERT_TRUE(Replace(dir, std::wstring(255, L'n'), "new", ReplacementFile::Durability::Lazy));
    EXPECT_EQ(ReadFileBytes(dir / name), "new");
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{name});
}

TEST(ReplacementFile, LinkInTheTargetsPlaceIsReplacedNotFollowed) {
    TempDir dir;
    WriteFileBytes(dir / "outside/target.txt", "keep");
    stdfs::create_directory(dir / "inner");
    stdfs::create_symlink("../outside/target.txt", dir / "inner/link.txt");
    ConfinedFolder folder;
    ASSERT_EQ(ConfinedFolder::Open(dir.wide(), L"inner", false, folder),
              ConfinedFolder::Result::Ok);
    ASSERT_TRUE(Replace(folder, L"link.txt", "new", ReplacementFile::Durability::Lazy));
    EXPECT_TRUE(S_ISREG(StatOf(dir / "inner/link.txt").st_mode));
    EXPECT_EQ(ReadFileBytes(dir / "inner/link.txt"), "new");
    EXPECT_EQ(ReadFileBytes(dir / "outside/target.txt"), "keep");
    EXPECT_EQ(Names(dir / "outside"), std::vector<std::string>{"target.txt"});
}

TEST(ReplacementFile, AbandonedContentLeavesTheOldFileAndNothingBeside) {
    const struct {
        const char* what;
        bool explicitAbandon;
    } cases[] = {{"Abandon", true}, {"destroyed uncommitted", false}};
    for (const auto& c : cases) {
        TempDir dir;
        WriteFileBytes(dir / "data.bin", "old");
        const ConfinedFolder folder = OpenFolder(dir);
        {
            ReplacementFile file;
            ASSERT_EQ(ReplacementFile::Create(folder, L"data.bin", false, file),
                      ReplacementFile::Result::Ok);
            ASSERT_TRUE(file.Write("new content", 11));
            EXPECT_EQ(Names(dir.path()).size(), 2u) << c.what;  // the passing file
            if (c.explicitAbandon) file.Abandon();
        }
        EXPECT_EQ(ReadFileBytes(dir / "data.bin"), "old") << c.what;
        EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"data.bin"}) << c.what;
    }
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
    const ConfinedFolder folder = OpenFolder(dir);
    EXPECT_EQ(AsNobody([&] {
                  return Replace(folder, L"data.bin", "new", ReplacementFile::Durability::Durable)
                             ? 0
                             : 1;
              }),
              0);
    EXPECT_EQ(ReadFileBytes(dir / "data.bin"), "new");
    EXPECT_EQ(StatOf(dir / "data.bin").st_uid, kNobody);
    EXPECT_EQ(StatOf(dir / "data.bin").st_mode & 07777, 0666u);
}

// Write bits for others than the caller do not make a file the caller's to replace, even
// where the folder would let the rename through.
TEST(ReplacementFile, FileTheCallerMayNotWriteIsReadOnly) {
    if (geteuid() != 0) GTEST_SKIP() << "needs a file owned by another user";
    TempDir dir;
    WriteFileBytes(dir / "data.bin", "old");
    ASSERT_EQ(::chmod((dir / "data.bin").c_str(), 0644), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
    const ConfinedFolder folder = OpenFolder(dir);
    EXPECT_EQ(
        AsNobody([&] {
            ReplacementFile file;
            return static_cast<int>(ReplacementFile::Create(folder, L"data.bin", false, file));
        }),
        static_cast<int>(ReplacementFile::Result::ReadOnly));
    EXPECT_EQ(ReadFileBytes(dir / "data.bin"), "old");
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"data.bin"});
}

}  // namespace

namespace {

// A process id that no process has any more: a child that has ended and been reaped.
pid_t EndedProcess() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

}  // namespace

TEST(ReplacementFile, WhatWritersNowGoneLeftIsRemovedAndNothingElse) {
    TempDir dir;
    TempDir outside;
    const std::string gone = std::to_string(EndedProcess());
    const std::string running = std::to_string(getppid());
    const std::vector<std::string> left = {".~client.pak." + gone + ".3.part",
                                           "data/deeper/.~a.txt." + gone + ".0.part"};
    const std::vector<std::string> kept = {
        ".~client.pak." + running + ".0.part",  // its writer still runs
        ".~client.pak." + std::to_string(getpid()) + ".1.part",
        ".~client.pak." + gone + ".part",  // not a passing name
        "client.pak." + gone + ".0.part",
        ".~client.pak.x" + gone + ".0.part",
        "tmp/patch.zip.part0",
        "client.pak",
    };
    for (const std::string& name : left) WriteFileBytes(dir / name, "part");
    for (const std::string& name : kept) WriteFileBytes(dir / name, "keep");
    stdfs::create_directory(dir / (".~folder." + gone + ".0.part"));
    const std::string behindLink = ".~o." + gone + ".0.part";
    WriteFileBytes(outside / behindLink, "outside");
    stdfs::create_directory_symlink(outside.path(), dir / "link");

    ReplacementFile::RemoveAbandoned(dir.wide());

    for (const std::string& name : left) EXPECT_FALSE(stdfs::exists(dir / name)) << name;
    for (const std::string& name : kept) EXPECT_EQ(ReadFileBytes(dir / name), "keep") << name;
    EXPECT_TRUE(stdfs::is_directory(dir / (".~folder." + gone + ".0.part")));
    EXPECT_EQ(ReadFileBytes(outside / behindLink), "outside");
}
