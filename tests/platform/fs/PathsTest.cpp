#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>

#include "TempDir.h"
#include "fs/Files.h"
#include "fs/Paths.h"

using namespace vesk::fs;

namespace {

// Sets or clears one variable for the lifetime of the object, then puts the old value back.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : m_name(name) {
        if (const char* old = getenv(name)) m_old = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedVariable() {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

struct XdgCase {
    const char* home;
    const char* configHome;
    const char* cacheHome;
    const wchar_t* config;
    const wchar_t* cache;
};

}  // namespace

TEST(Paths, XdgFoldersFollowTheVariablesOnlyWhenAbsolute) {
    const XdgCase cases[] = {
        {"/home/ana", nullptr, nullptr, L"/home/ana/.config/", L"/home/ana/.cache/"},
        {"/home/ana/", "", "", L"/home/ana/.config/", L"/home/ana/.cache/"},
        {"/home/ana", "/etc/xdg-c", "/var/c/", L"/etc/xdg-c/", L"/var/c/"},
        {"/home/ana", "rel/config", "./cache", L"/home/ana/.config/", L"/home/ana/.cache/"},
        {"/home/äö", nullptr, "/tmp/ü", L"/home/äö/.config/", L"/tmp/ü/"},
    };
    for (const XdgCase& c : cases) {
        SCOPED_TRACE(std::string("HOME=") + c.home);
        ScopedVariable home("HOME", c.home);
        ScopedVariable config("XDG_CONFIG_HOME", c.configHome);
        ScopedVariable cache("XDG_CACHE_HOME", c.cacheHome);
        EXPECT_EQ(UserConfigFolder(), std::optional<std::wstring>(c.config));
        EXPECT_EQ(LocalAppDataFolder(), std::optional<std::wstring>(c.cache));
    }
}

TEST(Paths, EmptyHomeFallsBackToThePasswordDatabase) {
    ScopedVariable home("HOME", "");
    ScopedVariable config("XDG_CONFIG_HOME", nullptr);
    const std::optional<std::wstring> profile = UserProfileFolder();
    // Containers may run under a user id the database does not know.
    if (!profile) GTEST_SKIP() << "no password entry for this user";
    ASSERT_FALSE(profile->empty());
    EXPECT_EQ(profile->front(), L'/');
    EXPECT_EQ(profile->back(), L'/');
    EXPECT_EQ(UserConfigFolder(), *profile + L".config/");
}

TEST(Paths, ExecutableFolderHoldsTheExecutable) {
    const std::wstring path = ExecutablePath();
    const std::wstring folder = ExecutableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), L'/');
    EXPECT_EQ(path, folder + L"fs_test");
    struct stat info {};
    EXPECT_EQ(stat(NativePath(path).c_str(), &info), 0);
}

TEST(Paths, CurrentDirectoryFollowsSetCurrentDirectory) {
    vesk::test::TempDir dir;
    const std::wstring before = CurrentDirectory();
    ASSERT_FALSE(before.empty());
    std::filesystem::create_directory(dir / "sub ü");
    ASSERT_TRUE(SetCurrentDirectory(dir.wide() + L"sub ü"));
    const std::wstring inside = CurrentDirectory();
    EXPECT_TRUE(SetCurrentDirectory(before));
    EXPECT_EQ(inside, WidePath(std::filesystem::canonical(dir / "sub ü").string()) + L"/");
    EXPECT_FALSE(SetCurrentDirectory(dir.wide() + L"missing"));
    EXPECT_EQ(CurrentDirectory(), before);
}

// A lone 0xFF, a lead byte without its continuation, an encoded surrogate: a folder name is
// bytes, and the platform layer must hand back the very folder it was given.
TEST(Paths, FolderWhoseNameIsNotUtf8IsFoundAgain) {
    vesk::test::TempDir dir;
    const std::string folder =
        std::filesystem::canonical(dir.path()).string() + "/v\xFF\xC3-\xED\xA0\x80";
    std::filesystem::create_directory(folder);
    vesk::test::WriteFileBytes(folder + "/Config.ini", "x");
    const std::wstring wide = WidePath(folder);
    EXPECT_EQ(NativePath(wide), folder);
    ASSERT_TRUE(GetAttributes(wide + L"/Config.ini"));

    const std::wstring before = CurrentDirectory();
    ASSERT_TRUE(SetCurrentDirectory(wide));
    const std::wstring inside = CurrentDirectory();
    const bool found = GetAttributes(inside + L"Config.ini").has_value();
    EXPECT_TRUE(SetCurrentDirectory(before));
    EXPECT_EQ(NativePath(inside), folder + "/");
    EXPECT_TRUE(found);

    ScopedVariable home("HOME", folder.c_str());
    ScopedVariable config("XDG_CONFIG_HOME", nullptr);
    ScopedVariable cache("XDG_CACHE_HOME", (folder + "/\xFE").c_str());
    EXPECT_EQ(NativePath(UserProfileFolder().value_or(L"")), folder + "/");
    EXPECT_EQ(NativePath(UserConfigFolder().value_or(L"")), folder + "/.config/");
    EXPECT_EQ(NativePath(LocalAppDataFolder().value_or(L"")), folder + "/\xFE/");
}

TEST(Paths, WithTrailingSlashNeverTurnsAnUnknownFolderIntoTheRoot) {
    EXPECT_EQ(WithTrailingSlash(L"/a/b"), L"/a/b/");
    EXPECT_EQ(WithTrailingSlash(L"/a/b/"), L"/a/b/");
    EXPECT_EQ(WithTrailingSlash(L""), L"");
}
