#include <grp.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "CloseOnExecOnly.h"
#include "TempDir.h"
#include "registry/Registry.h"

namespace {

namespace registry = vesk::registry;

// Runs body as the owner of everything below folder, without the privileges that let root
// read any file: in a child that gives them up when we hold them. Whether body said true;
// nullopt when they could not be given up.
std::optional<bool> AsOwnerWithoutPrivileges(const std::filesystem::path& folder,
                                             const std::function<bool()>& body) {
    if (geteuid() != 0) return body();
    constexpr uid_t kNobody = 65534;
    constexpr int kNotDropped = 2;
    const pid_t pid = fork();
    if (pid == 0) {
        bool owned = chown(folder.c_str(), kNobody, kNobody) == 0;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
            owned = owned && chown(entry.path().c_str(), kNobody, kNobody) == 0;
        const bool dropped = owned && setgroups(0, nullptr) == 0 &&
                             setresgid(kNobody, kNobody, kNobody) == 0 &&
                             setresuid(kNobody, kNobody, kNobody) == 0;
        _exit(!dropped ? kNotDropped : body() ? 0 : 1);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return false;
    if (WEXITSTATUS(status) == kNotDropped) return std::nullopt;
    return WEXITSTATUS(status) == 0;
}

// Each test gets a hive of its own.
class RegistryTest : public ::testing::Test {
protected:
    RegistryTest() { setenv("XDG_CONFIG_HOME", m_config.path().c_str(), 1); }
    ~RegistryTest() override { unsetenv("XDG_CONFIG_HOME"); }

    vesk::test::TempDir m_config;
};

TEST_F(RegistryTest, HiveLivesUnderTheUsersConfigFolder) {
    const auto path = registry::HivePath();
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, m_config.wide() + L"VeskRegistry/HKEY_CURRENT_USER.reg");
}

TEST_F(RegistryTest, NothingIsThereUntilWritten) {
    EXPECT_FALSE(registry::OpenKey(L"Software"));
    EXPECT_FALSE(registry::DeleteKey(L"Software"));
    EXPECT_FALSE(registry::WriteString(L"", L"name", L"value"));
    EXPECT_FALSE(registry::WriteString(L"Bad\nKey", L"name", L"value"));
}

TEST_F(RegistryTest, WrittenStringsReadBackWithoutRegardToCase) {
    ASSERT_TRUE(
        registry::WriteString(L"Software\\Tirsa Networks\\TSP", L"Version Number", L"2.3.0.0"));
    ASSERT_TRUE(
        registry::WriteString(L"SOFTWARE\\tirsa networks\\tsp", L"VERSION NUMBER", L"2.4.0.0"));
    ASSERT_TRUE(
        registry::WriteString(L"Software\\Tirsa Networks\\TSP", L"Program Directory", L"/opt/t"));

    const auto key = registry::OpenKey(L"software\\Tirsa Networks\\Tsp");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->String(L"version number"), L"2.4.0.0");
    EXPECT_EQ(key->String(L"Program Directory"), L"/opt/t");
    EXPECT_FALSE(key->String(L"Missing"));
    EXPECT_TRUE(registry::OpenKey(L"Software\\Tirsa Networks"));
    EXPECT_FALSE(registry::OpenKey(L"Software\\Tirsa Networks\\TSP\\Below"));
}

// A program started by another thread meanwhile must not inherit the hive.
TEST_F(RegistryTest, HiveIsReadAndWrittenThroughCloseOnExecDescriptors) {
    ASSERT_TRUE(registry::WriteString(L"Software\\Vesk", L"Before", L"1"));
    const auto run = vesk::test::RunWithCloseOnExecOnly([] {
        const auto before = registry::OpenKey(L"Software\\Vesk");
        return before && before->String(L"Before") == L"1" &&
               registry::WriteString(L"Software\\Vesk", L"After", L"2");
    });
    if (run == vesk::test::CloseOnExecOnlyRun::Unavailable) GTEST_SKIP() << "no seccomp filter";
    EXPECT_EQ(run, vesk::test::CloseOnExecOnlyRun::Succeeded);
    const auto key = registry::OpenKey(L"Software\\Vesk");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->String(L"Before"), L"1");
    EXPECT_EQ(key->String(L"After"), L"2");
}

// A hive that is there but cannot be read is never replaced by one holding only the change.
TEST_F(RegistryTest, UnreadableHiveIsLeftAlone) {
    ASSERT_TRUE(registry::WriteString(L"Software\\Vesk", L"Kept", L"1"));
    const auto hive = m_config / "VeskRegistry/HKEY_CURRENT_USER.reg";
    const std::string content = vesk::test::ReadFileBytes(hive);
    ASSERT_EQ(chmod(hive.c_str(), 0200), 0);
    const auto refused = AsOwnerWithoutPrivileges(m_config.path(), [] {
        return !registry::WriteString(L"Software\\Vesk", L"New", L"2") &&
               !registry::DeleteKey(L"Software\\Vesk") && !registry::OpenKey(L"Software\\Vesk");
    });
    ASSERT_EQ(chmod(hive.c_str(), 0600), 0);
    if (!refused) GTEST_SKIP() << "cannot give up the privileges that read every file";
    EXPECT_TRUE(*refused);
    EXPECT_EQ(vesk::test::ReadFileBytes(hive), content);
}

// The hive is read whole and never waited on: a FIFO in its place is no hive.
TEST_F(RegistryTest, HiveThatIsNoPlainFileIsNeitherWaitedOnNorReplaced) {
    const std::string folder = (m_config / "VeskRegistry").string();
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(mkfifo((folder + "/HKEY_CURRENT_USER.reg").c_str(), 0600), 0);
    EXPECT_FALSE(registry::OpenKey(L"Software"));
    EXPECT_FALSE(registry::WriteString(L"Software\\Vesk", L"New", L"2"));
    struct stat info {};
    ASSERT_EQ(stat((folder + "/HKEY_CURRENT_USER.reg").c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

TEST_F(RegistryTest, DeletingAKeyTakesEverythingBelowIt) {
    ASSERT_TRUE(registry::WriteString(L"Software\\A\\B", L"x", L"1"));
    ASSERT_TRUE(registry::WriteString(L"Software\\Other", L"y", L"2"));
    EXPECT_TRUE(registry::DeleteKey(L"software\\a"));
    EXPECT_FALSE(registry::OpenKey(L"Software\\A\\B"));
    EXPECT_FALSE(registry::OpenKey(L"Software\\A"));
    const auto other = registry::OpenKey(L"Software\\Other");
    ASSERT_TRUE(other);
    EXPECT_EQ(other->String(L"y"), L"2");
}

TEST_F(RegistryTest, WritersInParallelLoseNoValue) {
    constexpr int kThreads = 8;
    constexpr int kValues = 25;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([t] {
            for (int v = 0; v < kValues; ++v) {
                const std::wstring name = std::to_wstring(t) + L"." + std::to_wstring(v);
                EXPECT_TRUE(registry::WriteString(L"Software\\Race", name, name));
            }
        });
    }
    for (auto& writer : writers) writer.join();
    const auto key = registry::OpenKey(L"Software\\Race");
    ASSERT_TRUE(key);
    for (int t = 0; t < kThreads; ++t) {
        for (int v = 0; v < kValues; ++v) {
            const std::wstring name = std::to_wstring(t) + L"." + std::to_wstring(v);
            EXPECT_EQ(key->String(name), name);
        }
    }
}

}  // namespace
