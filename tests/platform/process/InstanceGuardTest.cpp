#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "CatChild.h"
#include "process/InstanceGuard.h"

using vesk::process::InstanceGuard;

namespace {

// A key no other test run shares, and the lock file removed afterwards.
class InstanceGuardTest : public testing::Test {
protected:
    void SetUp() override {
        const char* test = testing::UnitTest::GetInstance()->current_test_info()->name();
        m_key = L"/opt/vesk-test/" + std::to_wstring(getpid()) + L"/" +
                std::wstring(test, test + std::strlen(test));
    }
    void TearDown() override { unlink(InstanceGuard::LockFilePath(m_key).c_str()); }
    std::wstring m_key;
};

}  // namespace

TEST(InstanceGuardPath, IsTheHashOfTheKeysUtf8Bytes) {
    EXPECT_EQ(InstanceGuard::LockFilePath(L""), "/tmp/vesk-instance-cbf29ce484222325.lock");
    EXPECT_EQ(InstanceGuard::LockFilePath(L"a"), "/tmp/vesk-instance-af63dc4c8601ec8c.lock");
    EXPECT_EQ(InstanceGuard::LockFilePath(L"foobar"), "/tmp/vesk-instance-85944171f73967e8.lock");
    EXPECT_EQ(InstanceGuard::LockFilePath(L"ü"), "/tmp/vesk-instance-0ac20a07b71807ea.lock");
}

TEST_F(InstanceGuardTest, SecondHolderIsTurnedAwayUntilTheFirstLetsGo) {
    InstanceGuard first, second;
    ASSERT_TRUE(first.TryAcquire(m_key));
    EXPECT_TRUE(first.IsHeld());
    EXPECT_FALSE(second.TryAcquire(m_key));
    EXPECT_FALSE(second.IsHeld());
    EXPECT_TRUE(second.TryAcquire(m_key + L"-other"));
    unlink(InstanceGuard::LockFilePath(m_key + L"-other").c_str());

    InstanceGuard moved(std::move(first));
    EXPECT_FALSE(first.IsHeld());
    EXPECT_FALSE(second.TryAcquire(m_key)) << "the move keeps the lock";
    moved.Release();
    EXPECT_TRUE(second.TryAcquire(m_key));
}

TEST_F(InstanceGuardTest, LockFileIsOpenToEveryUser) {
    const mode_t old = umask(077);
    InstanceGuard guard;
    const bool held = guard.TryAcquire(m_key);
    umask(old);
    ASSERT_TRUE(held);
    struct stat info {};
    ASSERT_EQ(lstat(InstanceGuard::LockFilePath(m_key).c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0666u);
}

TEST_F(InstanceGuardTest, PlantedLinkIsNotFollowed) {
    const std::string path = InstanceGuard::LockFilePath(m_key);
    ASSERT_EQ(symlink("/dev/null", path.c_str()), 0);
    InstanceGuard guard;
    EXPECT_FALSE(guard.TryAcquire(m_key));
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
