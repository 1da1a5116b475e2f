#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <thread>
#include <vector>

#include "TempDir.h"
#include "registry/Registry.h"

namespace {

namespace registry = vesk::registry;

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
