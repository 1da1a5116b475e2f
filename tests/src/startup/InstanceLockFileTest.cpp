// Where the one-copy guard's lock file lives, and which installations share one.

#include <stdlib.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "InstanceLockFile.h"
#include "TempDir.h"
#include "fs/Paths.h"

namespace {

namespace fs = std::filesystem;

// The per-user variables pointed into a folder of the test's own, and put back afterwards.
class InstanceLockFileTest : public testing::Test {
protected:
    void SetUp() override {
        for (const char* name : kVariables) {
            if (const char* value = getenv(name)) m_saved.emplace_back(name, value);
        }
        setenv("HOME", m_dir.path().c_str(), 1);
        setenv("XDG_CACHE_HOME", (m_dir / "cache").c_str(), 1);
        unsetenv("XDG_RUNTIME_DIR");
        fs::create_directories(m_dir / "install");
    }
    void TearDown() override {
        for (const char* name : kVariables) unsetenv(name);
        for (const auto& [name, value] : m_saved) setenv(name.c_str(), value.c_str(), 1);
    }
    std::wstring Wide(const fs::path& path) const { return vesk::fs::WidePath(path.string()); }
    std::wstring Folder(const std::string& name) const { return Wide(m_dir / name) + L"/"; }

    static constexpr const char* kVariables[] = {"HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"};
    vesk::test::TempDir m_dir;
    std::vector<std::pair<std::string, std::string>> m_saved;
};

}  // namespace

TEST_F(InstanceLockFileTest, LivesInTheCacheFolderMadeWhenMissingNamedByADigest) {
    const std::optional<std::wstring> lock = InstanceLockFile(Folder("install"));
    ASSERT_TRUE(lock);
    EXPECT_TRUE(fs::is_directory(m_dir / "cache"));
    const std::wstring prefix = Wide(m_dir / "cache") + L"/VeskUpdate-";
    ASSERT_TRUE(lock->starts_with(prefix)) << vesk::fs::NativePath(*lock);
    const std::wstring digest = lock->substr(prefix.size());
    EXPECT_EQ(digest.size(), 64u + 5u);
    EXPECT_TRUE(digest.ends_with(L".lock"));
    EXPECT_EQ(digest.find_first_not_of(L"0123456789abcdef"), 64u);
}

TEST_F(InstanceLockFileTest, OneFilePerInstallationHoweverItsFolderIsNamed) {
    fs::create_directories(m_dir / "other");
    fs::create_directory_symlink(m_dir / "install", m_dir / "link");
    const auto lock = InstanceLockFile(Folder("install"));
    ASSERT_TRUE(lock);
    EXPECT_EQ(InstanceLockFile(Wide(m_dir / "install")), lock) << "without the closing slash";
    EXPECT_EQ(InstanceLockFile(Folder("link")), lock) << "through a link";
    EXPECT_EQ(InstanceLockFile(Folder("other/../install")), lock);
    EXPECT_NE(InstanceLockFile(Folder("other")), lock);
    EXPECT_EQ(InstanceLockFile(L""), std::nullopt);
}

// Only a runtime folder that exists, named by an absolute path, takes the place of the cache.
TEST_F(InstanceLockFileTest, TheRuntimeFolderWhenThereIsOne) {
    fs::create_directories(m_dir / "run");
    const struct {
        std::string runtime;
        bool used;
    } rows[] = {{(m_dir / "run").string(), true},
                {(m_dir / "run").string() + "/", true},
                {(m_dir / "absent").string(), false},
                {"run", false},
                {"", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.runtime);
        setenv("XDG_RUNTIME_DIR", row.runtime.c_str(), 1);
        const auto lock = InstanceLockFile(Folder("install"));
        ASSERT_TRUE(lock);
        const fs::path folder = row.used ? m_dir / "run" : m_dir / "cache";
        EXPECT_TRUE(lock->starts_with(Wide(folder) + L"/VeskUpdate-"))
            << vesk::fs::NativePath(*lock);
    }
}
