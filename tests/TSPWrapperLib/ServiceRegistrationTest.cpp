#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "ServiceLifecycle.h"
#include "ServiceRegistration.h"
#include "TempDir.h"
#include "registry/Registry.h"

namespace {

using vesk::tsp::ReadServiceRegistration;

class ServiceRegistrationTest : public ::testing::Test {
protected:
    ServiceRegistrationTest() { setenv("XDG_CONFIG_HOME", m_config.path().c_str(), 1); }
    ~ServiceRegistrationTest() override { unsetenv("XDG_CONFIG_HOME"); }

    void Register(const wchar_t* name, const std::wstring& value) {
        ASSERT_TRUE(vesk::registry::WriteString(vesk::tsp::kServiceRegistryKey, name, value));
    }

    vesk::test::TempDir m_config;
    vesk::test::TempDir m_install;
};

TEST_F(ServiceRegistrationTest, PresentOnlyWhenTheProgramIsInTheRegisteredFolder) {
    EXPECT_FALSE(ReadServiceRegistration().present);

    Register(vesk::tsp::kVersionValue, L"2.3.0.0");
    auto found = ReadServiceRegistration();
    EXPECT_FALSE(found.present);  // no folder value
    EXPECT_EQ(found.version, L"2.3.0.0");

    Register(vesk::tsp::kFolderValue, m_install.wide());
    found = ReadServiceRegistration();
    EXPECT_FALSE(found.present);  // no TSP.exe there
    EXPECT_EQ(found.folder, m_install.wide());

    vesk::test::WriteFileBytes(m_install / "TSP.exe", "");
    EXPECT_TRUE(ReadServiceRegistration().present);
    // The folder may be registered with or without its final separator.
    std::wstring bare = m_install.wide();
    bare.pop_back();
    Register(vesk::tsp::kFolderValue, bare);
    EXPECT_TRUE(ReadServiceRegistration().present);
}

TEST_F(ServiceRegistrationTest, MissingVersionLeavesItEmpty) {
    vesk::test::WriteFileBytes(m_install / "TSP.exe", "");
    Register(vesk::tsp::kFolderValue, m_install.wide());
    const auto found = ReadServiceRegistration();
    EXPECT_TRUE(found.present);
    EXPECT_EQ(found.version, L"");
}

// An empty folder must not find a TSP.exe in whatever folder we happen to be in.
TEST_F(ServiceRegistrationTest, EmptyFolderIsNoInstallation) {
    vesk::test::WriteFileBytes(m_install / "TSP.exe", "");
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(m_install.path());
    Register(vesk::tsp::kFolderValue, L"");
    EXPECT_FALSE(ReadServiceRegistration().present);
    EXPECT_FALSE(vesk::tsp::LaunchService(L""));
    std::filesystem::current_path(previous);
}

}  // namespace
