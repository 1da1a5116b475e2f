#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "CatChild.h"
#include "TempDir.h"
#include "fs/Paths.h"
#include "process/Launch.h"

using namespace vesk::process;
using vesk::test::TempDir;
using vesk::test::WriteFileBytes;

namespace {

// The exit code of a started child, after reaping it; -1 when it did not exit normally.
int ExitCodeOf(std::optional<int> pid) {
    if (!pid) return -1;
    int status = 0;
    if (waitpid(*pid, &status, 0) != *pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void WriteScript(const std::filesystem::path& path, std::string_view body) {
    WriteFileBytes(path, "#!/bin/sh\n" + std::string(body) + "\n");
    chmod(path.c_str(), 0755);
}

}  // namespace

TEST(StartProgram, PassesTheArgumentsAndReturnsAWaitableChild) {
    EXPECT_EQ(ExitCodeOf(StartProgram(L"/bin/sh", SplitCommandLine(L"-c \"exit 7\""))), 7);
    EXPECT_EQ(ExitCodeOf(StartProgram(L"/bin/sh", {L"-c", L"test \"$0\" = /bin/sh"})), 0)
        << "argv[0] is the program path";
    EXPECT_EQ(ExitCodeOf(
                  StartProgram(L"/bin/sh", {L"-c", L"test \"$1\" = 'ü \"x\"'", L"sh", L"ü \"x\""})),
              0);
}

TEST(StartProgram, MissingProgramIsNotStarted) {
    TempDir dir;
    EXPECT_EQ(StartProgram(dir.wide() + L"missing", {}), std::nullopt);
    EXPECT_EQ(StartProgram(L"", {}), std::nullopt);
    EXPECT_EQ(StartProgram(L"/bin/sh", {}, dir.wide() + L"no-such-folder/"), std::nullopt);
}

TEST(StartProgram, RunsInTheWorkFolderWithOurEnvironment) {
    TempDir dir;
    setenv("VESK_LAUNCH_TEST", "handed down", 1);
    const auto pid = StartProgram(
        L"/bin/sh", {L"-c", L"pwd -P > out.txt && test \"$VESK_LAUNCH_TEST\" = 'handed down'"},
        dir.wide());
    unsetenv("VESK_LAUNCH_TEST");
    EXPECT_EQ(ExitCodeOf(pid), 0);
    EXPECT_EQ(vesk::test::ReadFileBytes(dir / "out.txt"),
              std::filesystem::canonical(dir.path()).string() + "\n");
}

TEST(StartProgram, RelativeProgramIsFoundFromOurFolderNotTheWorkFolder) {
    TempDir ours, work;
    WriteScript(ours / "prog.sh", "exit 3");
    const std::wstring before = vesk::fs::CurrentDirectory();
    ASSERT_TRUE(vesk::fs::SetCurrentDirectory(ours.wide()));
    const auto pid = StartProgram(L"prog.sh", {}, work.wide());
    const bool opened = ShellOpen(L"prog.sh", L"", work.wide());
    vesk::fs::SetCurrentDirectory(before);
    EXPECT_EQ(ExitCodeOf(pid), 3);
    ASSERT_TRUE(opened);
    int status = 0;
    EXPECT_GT(waitpid(-1, &status, 0), 0);
}

TEST(StartProgram, ChildRunsInItsOwnSession) {
    vesk::test::CatChild cat;
    ASSERT_GT(cat.pid(), 0);
    EXPECT_EQ(getsid(cat.pid()), cat.pid());
    EXPECT_NE(getsid(cat.pid()), getsid(0));
    EXPECT_EQ(cat.Finish(), 0);
}

TEST(ShellOpen, StartsOnlyExecutableFiles) {
    TempDir dir;
    WriteFileBytes(dir / "plain.txt", "not a program");
    EXPECT_FALSE(ShellOpen(dir.wide() + L"missing"));
    EXPECT_FALSE(ShellOpen(dir.wide() + L"plain.txt"));
    EXPECT_FALSE(ShellOpen(dir.wide()));

    // ShellOpen hands out no process id; this test started no other child.
    ASSERT_TRUE(ShellOpen(L"/bin/sh", L"-c \"exit 7\""));
    int status = 0;
    ASSERT_GT(waitpid(-1, &status, 0), 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 7);
}
