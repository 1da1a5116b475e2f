#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>

#include "TempDir.h"
#include "profile/ProfileFile.h"
#include "text/Utf.h"

using namespace vesk;
namespace fs = std::filesystem;

namespace {

std::wstring Wide(const fs::path& path) {
    return text::Utf8ToWide(path.string());
}

std::size_t EntriesIn(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

struct EditRow {
    const char* name;
    std::string_view before;
    std::wstring_view section;
    std::wstring_view key;
    std::wstring_view value;
    std::string_view after;
};

const EditRow kEditRows[] = {
    {"absent file", "", L"A", L"k", L"v", "[A]\r\nk=v\r\n"},
    {"replace keeps spelling, spacing and the rest", "; c\n[A]\nKey = old  \njunk\n\n[B]\nx=1\n",
     L"a", L"KEY", L"new", "; c\n[A]\nKey = new\njunk\n\n[B]\nx=1\n"},
    {"insert after the last key line", "[A]\r\na=1\r\n; note\r\n\r\n[B]\r\nb=2\r\n", L"A", L"c",
     L"3", "[A]\r\na=1\r\nc=3\r\n; note\r\n\r\n[B]\r\nb=2\r\n"},
    {"insert right after a header without keys", "[A]\n;k=1\n", L"A", L"k", L"2",
     "[A]\nk=2\n;k=1\n"},
    {"header as last line without a line end", "[A]", L"A", L"k", L"v", "[A]\r\nk=v\r\n"},
    {"append after a blank line", "[A]\na=1\n", L"B", L"k", L"v", "[A]\na=1\n\n[B]\nk=v\n"},
    {"append to an unterminated line", "[A]\na=1", L"B", L"k", L"v", "[A]\na=1\n\n[B]\nk=v\n"},
    {"append after an existing blank line", "[A]\na=1\n\n", L"B", L"k", L"v",
     "[A]\na=1\n\n[B]\nk=v\n"},
    {"garbage and binary lines stay", "\x01\xff junk\n[A]\njunk\xfe\nk=1\n\x00\x01\n", L"A", L"k",
     L"2", "\x01\xff junk\n[A]\njunk\xfe\nk=2\n\x00\x01\n"},
    {"only the first of equal sections", "[A]\nx=1\n[a]\nk=old\n", L"A", L"k", L"new",
     "[A]\nx=1\nk=new\n[a]\nk=old\n"},
    {"keys before any section are no keys", "k=orphan\n[A]\n", L"A", L"k", L"v",
     "k=orphan\n[A]\nk=v\n"},
    {"byte-order mark stays", "\xEF\xBB\xBF[A]\r\nk=1\r\n", L"A", L"k", L"2",
     "\xEF\xBB\xBF[A]\r\nk=2\r\n"},
    {"quoted value replaced", "[A]\nk=\"old\"\n", L"A", L"k", L"\"new\"", "[A]\nk=\"new\"\n"},
    {"names are written trimmed", "", L" A ", L" k ", L"\u00E9", "[A]\r\nk=\xC3\xA9\r\n"},
};

TEST(ProfileWrite, ChangesOneLineAndKeepsEveryOther) {
    test::TempDir dir;
    for (const EditRow& row : kEditRows) {
        SCOPED_TRACE(row.name);
        const fs::path path = dir / "Config.ini";
        fs::remove(path);
        if (!row.before.empty()) test::WriteFileBytes(path, row.before);
        ASSERT_TRUE(profile::WriteString(Wide(path), row.section, row.key, row.value));
        EXPECT_EQ(test::ReadFileBytes(path), row.after);
        EXPECT_EQ(EntriesIn(dir.path()), 1u);  // no temporary file left behind
    }
}

TEST(ProfileWrite, WrittenValuesReadBack) {
    test::TempDir dir;
    const std::wstring path = Wide(dir / "Config.ini");
    ASSERT_TRUE(profile::WriteString(path, L"General", L"Language", L"German"));
    ASSERT_TRUE(profile::WriteString(path, L"General", L"Count", L"12"));
    ASSERT_TRUE(profile::WriteString(path, L"general", L"language", L"French"));
    EXPECT_EQ(profile::ReadString(path, L"GENERAL", L"Language", L""), L"French");
    EXPECT_EQ(profile::ReadInt(path, L"General", L"Count", 0), 12);
    EXPECT_EQ(test::ReadFileBytes(dir / "Config.ini"),
              "[General]\r\nLanguage=French\r\nCount=12\r\n");
}

TEST(ProfileWrite, RefusesWhatCouldNotBeReadBack) {
    test::TempDir dir;
    const std::string before = "[A]\nk=1\n";
    test::WriteFileBytes(dir / "Config.ini", before);
    const std::wstring path = Wide(dir / "Config.ini");
    EXPECT_FALSE(profile::WriteString(path, L"A", L"k", L"two\nlines"));
    EXPECT_FALSE(profile::WriteString(path, L"A", L"k=x", L"v"));
    EXPECT_FALSE(profile::WriteString(path, L"A", L"  ", L"v"));
    EXPECT_FALSE(profile::WriteString(path, L"A]", L"k", L"v"));
    EXPECT_FALSE(profile::WriteString(path, L"A", L";k", L"v"));
    EXPECT_EQ(test::ReadFileBytes(dir / "Config.ini"), before);
}

TEST(ProfileWrite, MissingFolderFailsAndCreatesNothing) {
    test::TempDir dir;
    EXPECT_FALSE(profile::WriteString(Wide(dir / "none" / "Config.ini"), L"A", L"k", L"v"));
    EXPECT_FALSE(profile::WriteString(dir.wide(), L"A", L"k", L"v"));
    EXPECT_EQ(EntriesIn(dir.path()), 0u);
}

// A file too large to be a settings file, or a folder in its place, is never replaced.
TEST(ProfileWrite, UnreadableTargetIsLeftAlone) {
    test::TempDir dir;
    fs::create_directory(dir / "folder.ini");
    EXPECT_FALSE(profile::WriteString(Wide(dir / "folder.ini"), L"A", L"k", L"v"));
    test::WriteFileBytes(dir / "huge.ini", "[A]\nk=1\n");
    fs::resize_file(dir / "huge.ini", 64u << 20);
    EXPECT_FALSE(profile::WriteString(Wide(dir / "huge.ini"), L"A", L"k", L"v"));
    EXPECT_EQ(profile::ReadString(Wide(dir / "huge.ini"), L"A", L"k", L"d"), L"d");
    EXPECT_EQ(fs::file_size(dir / "huge.ini"), 64u << 20);
    EXPECT_EQ(EntriesIn(dir.path()), 2u);
}

TEST(ProfileWrite, ReadOnlyFileStaysAsItWas) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "Config.ini", "[A]\nk=1\n");
    fs::permissions(dir / "Config.ini", fs::perms::owner_read | fs::perms::group_read);
    EXPECT_FALSE(profile::WriteString(Wide(dir / "Config.ini"), L"A", L"k", L"2"));
    EXPECT_EQ(test::ReadFileBytes(dir / "Config.ini"), "[A]\nk=1\n");
    EXPECT_EQ(EntriesIn(dir.path()), 1u);
}

// Root may write into any folder, so there the write runs in a child that gave root up.
// Returns 0 when written, 1 when refused, 2 when the child could not be set up.
int WriteWithoutPrivileges(const fs::path& path) {
    if (geteuid() != 0) return profile::WriteString(Wide(path), L"A", L"k", L"2") ? 0 : 1;
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
        _exit(profile::WriteString(Wide(path), L"A", L"k", L"2") ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return 2;
    return WEXITSTATUS(status);
}

TEST(ProfileWrite, ReadOnlyFolderFailsAndTheOldFileIsIntact) {
    test::TempDir dir;
    const fs::path folder = dir / "ro";
    test::WriteFileBytes(folder / "Config.ini", "[A]\nk=1\n");
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::others_exec);
    fs::permissions(folder / "Config.ini", fs::perms::all & ~fs::perms::owner_exec &
                                               ~fs::perms::group_exec & ~fs::perms::others_exec);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                fs::perms::others_exec);
    ASSERT_EQ(WriteWithoutPrivileges(folder / "Config.ini"), 1);
    EXPECT_EQ(test::ReadFileBytes(folder / "Config.ini"), "[A]\nk=1\n");
    EXPECT_EQ(EntriesIn(folder), 1u);
}

TEST(ProfileWrite, PermissionBitsAreKept) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "Config.ini", "[A]\nk=1\n");
    ::chmod((dir / "Config.ini").c_str(), 0640);
    ASSERT_TRUE(profile::WriteString(Wide(dir / "Config.ini"), L"A", L"k", L"2"));
    struct stat info {};
    ASSERT_EQ(::stat((dir / "Config.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    const mode_t saved = ::umask(022);
    ASSERT_TRUE(profile::WriteString(Wide(dir / "New.ini"), L"A", L"k", L"2"));
    ::umask(saved);
    ASSERT_EQ(::stat((dir / "New.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
}

TEST(ProfileWrite, SymbolicLinksStayLinks) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "real" / "Config.ini", "[A]\nk=1\n");
    fs::create_symlink("real/Config.ini", dir / "Config.ini");
    fs::create_symlink("real/New.ini", dir / "Dangling.ini");
    ASSERT_TRUE(profile::WriteString(Wide(dir / "Config.ini"), L"A", L"k", L"2"));
    ASSERT_TRUE(profile::WriteString(Wide(dir / "Dangling.ini"), L"A", L"k", L"3"));
    EXPECT_TRUE(fs::is_symlink(dir / "Config.ini"));
    EXPECT_TRUE(fs::is_symlink(dir / "Dangling.ini"));
    EXPECT_EQ(test::ReadFileBytes(dir / "real" / "Config.ini"), "[A]\nk=2\n");
    EXPECT_EQ(test::ReadFileBytes(dir / "real" / "New.ini"), "[A]\r\nk=3\r\n");
    EXPECT_EQ(EntriesIn(dir / "real"), 2u);
}

// The target's bytes survive the trip through wide paths: written there, not elsewhere.
TEST(ProfileWrite, LinkToANameThatIsNotUtf8IsFollowedExactly) {
    test::TempDir dir;
    fs::create_symlink("real\xff.ini", dir / "Config.ini");
    EXPECT_TRUE(profile::WriteString(Wide(dir / "Config.ini"), L"A", L"k", L"v"));
    EXPECT_TRUE(fs::is_symlink(dir / "Config.ini"));
    EXPECT_EQ(test::ReadFileBytes(dir / "real\xff.ini"), "[A]\r\nk=v\r\n");
    EXPECT_EQ(EntriesIn(dir.path()), 2u);
}

TEST(ProfileWrite, ConcurrentWritersAllLand) {
    test::TempDir dir;
    const std::wstring path = Wide(dir / "Config.ini");
    constexpr int kKeys = 40;
    auto writer = [&](const wchar_t* prefix) {
        for (int i = 0; i < kKeys; ++i) {
            profile::WriteString(path, L"Shared", prefix + std::to_wstring(i), std::to_wstring(i));
        }
    };
    std::thread first(writer, L"a"), second(writer, L"b");
    first.join();
    second.join();
    for (int i = 0; i < kKeys; ++i) {
        EXPECT_EQ(profile::ReadInt(path, L"Shared", L"a" + std::to_wstring(i), -1), i);
        EXPECT_EQ(profile::ReadInt(path, L"Shared", L"b" + std::to_wstring(i), -1), i);
    }
}

}  // namespace
