#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "CatChild.h"
#include "TempDir.h"
#include "process/InstanceGuard.h"

using vesk::process::InstanceGuard;

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
    ASSERT_TRUE(first.TryAcquire(m_key));
    EXPECT_TRUE(first.IsHeld());
    EXPECT_FALSE(second.TryAcquire(m_key));
    EXPECT_FALSE(second.IsHeld());
    vesk::test::WriteFileBytes(m_dir / "Other", "another program");
    EXPECT_TRUE(second.TryAcquire(m_dir.wide() + L"Other"));

    InstanceGuard moved(std::move(first));
    EXPECT_FALSE(first.IsHeld());
    EXPECT_FALSE(second.TryAcquire(m_key)) << "the move keeps the lock";
    moved.Release();
    EXPECT_TRUE(second.TryAcquire(m_key));
}

TEST_F(InstanceGuardTest, NothingToLockIsNoGuard) {
    InstanceGuard guard;
    EXPECT_FALSE(guard.TryAcquire(m_dir.wide() + L"absent"));
    EXPECT_FALSE(guard.TryAcquire(L""));
    EXPECT_FALSE(guard.IsHeld());
}

TEST_F(InstanceGuardTest, KilledHolderReleasesTheLock) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        InstanceGuard held;
        const char answer = held.TryAcquire(m_key) ? 'y' : 'n';
        if (write(ready[1], &answer, 1) != 1) _exit(1);
        for (;;) pause();
    }
    close(ready[1]);
    char answer = 0;
    EXPECT_EQ(read(ready[0], &answer, 1), 1);
    close(ready[0]);
    EXPECT_EQ(answer, 'y');

    InstanceGuard guard;
    EXPECT_FALSE(guard.TryAcquire(m_key));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(guard.TryAcquire(m_key));
}

TEST_F(InstanceGuardTest, StartedProgramDoesNotInheritTheLock) {
    InstanceGuard guard;
    ASSERT_TRUE(guard.TryAcquire(m_key));
    vesk::test::CatChild cat;
    ASSERT_GT(cat.pid(), 0);
    guard.Release();
    InstanceGuard next;
    EXPECT_TRUE(next.TryAcquire(m_key)) << "the child still runs but holds nothing";
    EXPECT_EQ(cat.Finish(), 0);
}
