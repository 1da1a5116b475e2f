#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "CatChild.h"
#include "TempDir.h"
#include "WithoutFileLocks.h"
#include "fs/Paths.h"
#include "process/InstanceGuard.h"

using vesk::process::InstanceGuard;
using Result = InstanceGuard::Result;

namespace {

// A lock file of the test's own, which the guards make and lock.
class InstanceGuardTest : public testing::Test {
protected:
    vesk::test::TempDir m_dir;
    std::wstring m_key = m_dir.wide() + L"VeskUpdate.lock";
};

constexpr uid_t kNobody = 65534;

mode_t ModeOf(const std::filesystem::path& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

}  // namespace

TEST_F(InstanceGuardTest, SecondHolderIsTurnedAwayUntilTheFirstLetsGo) {
    InstanceGuard first, second;
    ASSERT_EQ(first.TryAcquire(m_key), Result::Acquired);
    EXPECT_TRUE(first.IsHeld());
    EXPECT_EQ(second.TryAcquire(m_key), Result::HeldElsewhere);
    EXPECT_FALSE(second.IsHeld());
    EXPECT_EQ(second.TryAcquire(m_dir.wide() + L"Other.lock"), Result::Acquired);

    InstanceGuard moved(std::move(first));
    EXPECT_FALSE(first.IsHeld());
    EXPECT_EQ(second.TryAcquire(m_key), Result::HeldElsewhere) << "the move keeps the lock";
    moved.Release();
    EXPECT_EQ(second.TryAcquire(m_key), Result::Acquired);
}

// Only another holder turns a copy away; every other failure says why no guard was had.
TEST_F(InstanceGuardTest, NoLockFileToBeHadIsNoGuardButNoOtherCopyEither) {
    vesk::test::WriteFileBytes(m_dir / "plain", "");
    InstanceGuard guard;
    EXPECT_EQ(guard.TryAcquire(m_dir.wide() + L"absent/VeskUpdate.lock"), Result::CannotOpen);
    EXPECT_EQ(guard.LastError(), ENOENT);
    EXPECT_EQ(guard.TryAcquire(m_dir.wide() + L"plain/inside"), Result::CannotOpen);
    EXPECT_EQ(guard.LastError(), ENOTDIR);
    EXPECT_EQ(guard.TryAcquire(L""), Result::NoFile);
    EXPECT_EQ(guard.LastError(), 0);
    EXPECT_FALSE(guard.IsHeld());
}

TEST_F(InstanceGuardTest, TheLockFileIsMadeForThisUserAlone) {
    const mode_t umaskBefore = umask(0);
    InstanceGuard guard;
    EXPECT_EQ(guard.TryAcquire(m_key), Result::Acquired);
    umask(umaskBefore);
    EXPECT_EQ(ModeOf(m_dir / "VeskUpdate.lock"), 0600u);

    // One left with wider rights is narrowed on the next start.
    guard.Release();
    chmod((m_dir / "VeskUpdate.lock").c_str(), 0644);
    EXPECT_EQ(guard.TryAcquire(m_key), Result::Acquired);
    EXPECT_EQ(ModeOf(m_dir / "VeskUpdate.lock"), 0600u);
}

// A link is never followed, whatever it points at, and nothing but a regular file of this
// user's stands for the guard: none of them is locked, made or changed.
TEST_F(InstanceGuardTest, NothingButAPlainFileOfThisUsersIsTaken) {
    vesk::test::WriteFileBytes(m_dir / "target", "someone's file");
    chmod((m_dir / "target").c_str(), 0604);
    const mode_t targetMode = ModeOf(m_dir / "target");
    struct Row {
        const char* what;
        std::function<bool(const std::filesystem::path&)> plant;
        int error;
    };
    const Row rows[] = {
        {"a link to a file",
         [&](const auto& at) { return symlink((m_dir / "target").c_str(), at.c_str()) == 0; },
         ELOOP},
        {"a link to nothing",
         [&](const auto& at) { return symlink((m_dir / "made").c_str(), at.c_str()) == 0; }, ELOOP},
        {"a FIFO", [](const auto& at) { return mkfifo(at.c_str(), 0600) == 0; }, EINVAL},
        {"another user's file",
         [](const auto& at) {
             vesk::test::WriteFileBytes(at, "");
             return geteuid() == 0 && chown(at.c_str(), kNobody, kNobody) == 0;
         },
         EPERM},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const auto at = m_dir / "planted.lock";
        std::filesystem::remove(at);
        if (!row.plant(at)) continue;  // another user's file needs root to make
        InstanceGuard guard;
        EXPECT_EQ(guard.TryAcquire(m_dir.wide() + L"planted.lock"), Result::NotOwnFile);
        EXPECT_EQ(guard.LastError(), row.error);
        EXPECT_FALSE(guard.IsHeld());
    }
    EXPECT_EQ(vesk::test::ReadFileBytes(m_dir / "target"), "someone's file");
    EXPECT_EQ(ModeOf(m_dir / "target"), targetMode);
    EXPECT_FALSE(std::filesystem::exists(m_dir / "made"));
}

TEST_F(InstanceGuardTest, FileSystemWithoutLocksIsNoGuardButNoOtherCopyEither) {
    InstanceGuard guard;
    Result result = Result::Acquired;
    int error = 0;
    if (!vesk::test::RunWithoutFileLocks([&] {
            result = guard.TryAcquire(m_key);
            error = guard.LastError();
        }))
        GTEST_SKIP() << "no system call filter here";
    EXPECT_EQ(result, Result::CannotLock);
    EXPECT_EQ(error, ENOLCK);
    EXPECT_FALSE(guard.IsHeld());
}

// A folder name is bytes, not text: the guard must lock that file and no other.
TEST_F(InstanceGuardTest, LockFileUnderAFolderThatIsNotUtf8IsLockedWhereItIs) {
    const std::string folder = (m_dir / "\xFF\xC3-\xED\xA0\x80").string();
    std::filesystem::create_directory(folder);
    const std::wstring program = vesk::fs::WidePath(folder + "/VeskUpdate.lock");
    InstanceGuard first, second;
    ASSERT_EQ(first.TryAcquire(program), Result::Acquired);
    EXPECT_EQ(second.TryAcquire(program), Result::HeldElsewhere);
    EXPECT_TRUE(std::filesystem::exists(folder + "/VeskUpdate.lock"));
}

TEST_F(InstanceGuardTest, KilledHolderReleasesTheLock) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        InstanceGuard held;
        const char answer = held.TryAcquire(m_key) == Result::Acquired ? 'y' : 'n';
        if (write(ready[1], &answer, 1) != 1) _exit(1);
        for (;;) pause();
    }
    close(ready[1]);
    char answer = 0;
    EXPECT_EQ(read(ready[0], &answer, 1), 1);
    close(ready[0]);
    EXPECT_EQ(answer, 'y');

    InstanceGuard guard;
    EXPECT_EQ(guard.TryAcquire(m_key), Result::HeldElsewhere);
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(guard.TryAcquire(m_key), Result::Acquired);
}

TEST_F(InstanceGuardTest, StartedProgramDoesNotInheritTheLock) {
    InstanceGuard guard;
    ASSERT_EQ(guard.TryAcquire(m_key), Result::Acquired);
    vesk::test::CatChild cat;
    ASSERT_GT(cat.pid(), 0);
    guard.Release();
    InstanceGuard next;
    EXPECT_EQ(next.TryAcquire(m_key), Result::Acquired) << "the child still runs but holds nothing";
    EXPECT_EQ(cat.Finish(), 0);
}
