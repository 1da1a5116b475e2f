#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "CatChild.h"
#include "TempDir.h"
#include "WithoutFileLocks.h"
#include "fs/Paths.h"
#include "process/InstanceGuard.h"

using vesk::process::InstanceGuard;
using Result = InstanceGuard::Result;

namespace {

// A program file of the test's own, which the guards lock.
class InstanceGuardTest : public testing::Test {
protected:
    void SetUp() override { vesk::test::WriteFileBytes(m_dir / "VeskUpdate", "program"); }
    vesk::test::TempDir m_dir;
    std::wstring m_key = m_dir.wide() + L"VeskUpdate";
};

}  // namespace

TEST_F(InstanceGuardTest, SecondHolderIsTurnedAwayUntilTheFirstLetsGo) {
    InstanceGuard first, second;
    ASSERT_EQ(first.TryAcquire(m_key), Result::Acquired);
    EXPECT_TRUE(first.IsHeld());
    EXPECT_EQ(second.TryAcquire(m_key), Result::HeldElsewhere);
    EXPECT_FALSE(second.IsHeld());
    vesk::test::WriteFileBytes(m_dir / "Other", "another program");
    EXPECT_EQ(second.TryAcquire(m_dir.wide() + L"Other"), Result::Acquired);

    InstanceGuard moved(std::move(first));
    EXPECT_FALSE(first.IsHeld());
    EXPECT_EQ(second.TryAcquire(m_key), Result::HeldElsewhere) << "the move keeps the lock";
    moved.Release();
    EXPECT_EQ(second.TryAcquire(m_key), Result::Acquired);
}

// Only another holder turns a copy away; every other failure says why no guard was had.
TEST_F(InstanceGuardTest, NothingToLockIsNoGuardButNoOtherCopyEither) {
    InstanceGuard guard;
    EXPECT_EQ(guard.TryAcquire(m_dir.wide() + L"absent"), Result::CannotOpen);
    EXPECT_EQ(guard.LastError(), ENOENT);
    EXPECT_EQ(guard.TryAcquire(m_dir.wide() + L"VeskUpdate/inside"), Result::CannotOpen);
    EXPECT_EQ(guard.LastError(), ENOTDIR);
    EXPECT_EQ(guard.TryAcquire(L""), Result::NoFile);
    EXPECT_EQ(guard.LastError(), 0);
    EXPECT_FALSE(guard.IsHeld());
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

// The program's folder name is bytes, not text: it must lock that file and no other.
TEST_F(InstanceGuardTest, ProgramUnderAFolderThatIsNotUtf8IsLockedWhereItIs) {
    const std::string folder = (m_dir / "\xFF\xC3-\xED\xA0\x80").string();
    vesk::test::WriteFileBytes(folder + "/VeskUpdate", "program");
    const std::wstring program = vesk::fs::WidePath(folder + "/VeskUpdate");
    InstanceGuard first, second;
    ASSERT_EQ(first.TryAcquire(program), Result::Acquired);
    EXPECT_EQ(second.TryAcquire(program), Result::HeldElsewhere);
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
