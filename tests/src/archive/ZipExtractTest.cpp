// Extraction of entries and whole packages: where files land, what they replace, what they
// are given, and what is refused.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "PackageExtraction.h"
#include "TempDir.h"
#include "TestZip.h"
#include "ZipArchive.h"

namespace {

namespace stdfs = std::filesystem;
using vesk::test::ExtendedTimestamp;
using vesk::test::ReadFileBytes;
using vesk::test::TempDir;
using vesk::test::TestZipEntry;
using vesk::test::UnixEntry;
using vesk::test::WriteFileBytes;
using vesk::test::WriteZip;

struct stat StatOf(const stdfs::path& path) {
    struct stat info {};
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    return info;
}

// Everything below folder, as relative paths; links reported with " -> ".
std::vector<std::string> Listing(const stdfs::path& folder) {
    std::vector<std::string> names;
    for (const auto& item : stdfs::recursive_directory_iterator(folder)) {
        std::string name = stdfs::relative(item.path(), folder).string();
        if (item.is_symlink()) name += " -> " + stdfs::read_symlink(item.path()).string();
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class ZipExtractTest : public testing::Test {
protected:
    ZipExtractTest() : m_program(m_root / "program") { stdfs::create_directory(m_program); }

    std::wstring Package(const std::vector<TestZipEntry>& entries) {
        WriteZip(m_root / "p.zip", entries);
        return m_root.wide() + L"p.zip";
    }
    PackageExtractionResult Extract(const std::vector<TestZipEntry>& entries) {
        return ExtractUpdatePackage(Package(entries), m_program.wstring() + L"/");
    }
    // The result of extracting the only entry under its own name.
    ZipResult ExtractOne(const TestZipEntry& stored) {
        ZipHandle* zip = OpenZipFile(Package({stored}).c_str(), nullptr);
        SetZipBaseFolder(zip, m_program.wstring().c_str());
        ZipEntry entry;
        GetZipEntry(zip, 0, &entry);
        const ZipResult result = UnzipEntryToFile(zip, 0, entry.name.c_str());
        CloseZipFile(zip);
        return result;
    }

    TempDir m_root;
    stdfs::path m_program;
};

TEST_F(ZipExtractTest, NamesLandBelowTheProgramFolder) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\Windows\\x.dll", "Windows/x.dll"},
        {"/abs/y.txt", "abs/y.txt"},
        {"data\\..\\evil.txt", "evil.txt"},
        {"sub/..\\up.txt", "up.txt"},
        {"plugins\\deep\\z.dll", "plugins/deep/z.dll"},
    };
    for (const auto& [stored, landed] : cases) {
        EXPECT_EQ(ExtractOne({stored, stored}), kZipSuccess) << stored;
        EXPECT_EQ(ReadFileBytes(m_program / landed), stored);
    }
    EXPECT_EQ(Listing(m_root.path()).size(), Listing(m_program).size() + 2);  // program, p.zip
}

TEST_F(ZipExtractTest, NamesLeadingUpwardsAreRefused) {
    for (const char* stored :
         {"..\\b.txt", "a\\..\\..\\b.txt", "../c.txt", "x/../../d.txt", "e/..", "f\\..\\..\\g\\"}) {
        TestZipEntry entry{stored, "outside"};
        if (std::string(stored).back() == '\\') entry.externalAttributes = 0x10;
        EXPECT_EQ(ExtractOne(entry), kZipCannotOpenFile) << stored;
    }
    EXPECT_EQ(Listing(m_root.path()), (std::vector<std::string>{"p.zip", "program"}));
}

TEST_F(ZipExtractTest, FoldersAreMadeWithoutFolderEntries) {
    const auto result = Extract({{"a/b/c/d.txt", "d"}, {"a\\e\\f.txt", "f"}, {"g.txt", "g"}});
    EXPECT_EQ(result.entries, 3);
    EXPECT_EQ(result.failedEntries, 0);
    EXPECT_EQ(Listing(m_program), (std::vector<std::string>{"a", "a/b", "a/b/c", "a/b/c/d.txt",
                                                            "a/e", "a/e/f.txt", "g.txt"}));
}

TEST_F(ZipExtractTest, FolderEntriesMakeFolders) {
    TestZipEntry folder = UnixEntry("themes/classic/", "", 040755);
    TestZipEntry dosFolder{"tmp\\", ""};
    dosFolder.externalAttributes = 0x10;
    EXPECT_EQ(Extract({folder, dosFolder}).failedEntries, 0);
    EXPECT_TRUE(stdfs::is_directory(m_program / "themes/classic"));
    EXPECT_TRUE(stdfs::is_directory(m_program / "tmp"));
}

TEST_F(ZipExtractTest, ExistingFileIsReplacedWithThePackagesAttributesAndTimes) {
    WriteFileBytes(m_program / "Config.ini", "old content that is longer than the new");
    stdfs::permissions(m_program / "Config.ini", stdfs::perms(0755));
    TestZipEntry stored = UnixEntry("Config.ini", "new", 0100644);
    stored.localExtra = ExtendedTimestamp(3, {1600000001, 1600000003});
    EXPECT_EQ(ExtractOne(stored), kZipSuccess);
    // Before the read below moves the access time.
    const struct stat info = StatOf(m_program / "Config.ini");
    EXPECT_EQ(ReadFileBytes(m_program / "Config.ini"), "new");
    EXPECT_EQ(info.st_mtim.tv_sec, 1600000001);  // exact, not the DOS time's two seconds
    EXPECT_EQ(info.st_atim.tv_sec, 1600000003);
    EXPECT_EQ(info.st_mode & 07777, 0755u);  // a replaced file keeps its permissions
    EXPECT_EQ(Listing(m_program), std::vector<std::string>{"Config.ini"});
}

TEST_F(ZipExtractTest, UnixEntryWithoutOwnerWriteBecomesReadOnly) {
    EXPECT_EQ(ExtractOne(UnixEntry("ro.dll", "x", 0100466)), kZipSuccess);
    EXPECT_EQ(StatOf(m_program / "ro.dll").st_mode & 0222, 0u);
    // Execute permission follows a Unix entry's owner bit for a new file.
    EXPECT_EQ(ExtractOne(UnixEntry("tool", "#!/bin/sh\n", 0100755)), kZipSuccess);
    EXPECT_NE(StatOf(m_program / "tool").st_mode & S_IXUSR, 0u);
    EXPECT_EQ(ExtractOne(UnixEntry("plain", "x", 0100644)), kZipSuccess);
    EXPECT_EQ(StatOf(m_program / "plain").st_mode & 0111, 0u);
}

TEST_F(ZipExtractTest, WritableFileIsReplacedByAReadOnlyEntry) {
    WriteFileBytes(m_program / "VeskClient.exe", "old");
    stdfs::permissions(m_program / "VeskClient.exe", stdfs::perms(0644));
    TestZipEntry readOnly{"VeskClient.exe", "new"};
    readOnly.externalAttributes = kZipAttributeReadOnly;
    EXPECT_EQ(ExtractOne(readOnly), kZipSuccess);
    EXPECT_EQ(ReadFileBytes(m_program / "VeskClient.exe"), "new");
    EXPECT_EQ(StatOf(m_program / "VeskClient.exe").st_mode & 07777, 0444u);
    EXPECT_EQ(Listing(m_program), std::vector<std::string>{"VeskClient.exe"});
}

// A name the file system cannot hold fails before its data is inflated, as any file that
// cannot be created does.
TEST_F(ZipExtractTest, NameTooLongForTheFileSystemCannotBeCreated) {
    const std::string longest(255, 'n');
    EXPECT_EQ(ExtractOne({"d/" + longest, "fits"}), kZipSuccess);
    EXPECT_EQ(ExtractOne({"d/" + longest + "x", std::string(100000, 'x')}), kZipCannotOpenFile);
    EXPECT_EQ(Listing(m_program), (std::vector<std::string>{"d", "d/" + longest}));
}

// A stored name longer than a description holds is never written under its cut name,
// which could be another file of the installation or end in half a character.
TEST_F(ZipExtractTest, NameLongerThanADescriptionHoldsIsRefused) {
    const std::string at260 = "ab/c/" + std::string(253, 'n') + "\xC3\xA9";
    ASSERT_EQ(at260.size(), 260u);
    EXPECT_EQ(ExtractOne({at260, "fits"}), kZipSuccess);
    const std::string splitsACharacter = "ab/c/" + std::string(254, 'n') + "\xC3\xA9";
    for (const std::string& longer : {at260 + "x", splitsACharacter}) {
        EXPECT_EQ(ExtractOne({longer, "cut"}), kZipCannotOpenFile) << longer.size();
    }
    EXPECT_EQ(Listing(m_program), (std::vector<std::string>{"ab", "ab/c", at260}));
    EXPECT_EQ(ReadFileBytes(m_program / at260), "fits");

    // The description names it as far as whole characters go.
    ZipHandle* zip = OpenZipFile(Package({{splitsACharacter, ""}}).c_str(), nullptr);
    SetZipBaseFolder(zip, m_program.wstring().c_str());
    ZipEntry entry;
    EXPECT_EQ(GetZipEntry(zip, 0, &entry), kZipSuccess);
    EXPECT_EQ(entry.name, L"ab/c/" + std::wstring(254, L'n'));
    EXPECT_EQ(UnzipEntryToFile(zip, 0, L"elsewhere.txt"), kZipCannotOpenFile);
    CloseZipFile(zip);
    EXPECT_FALSE(stdfs::exists(m_program / "elsewhere.txt"));
}

TEST_F(ZipExtractTest, ReadOnlyFileFromAnEarlierPackageStays) {
    TestZipEntry readOnly{"VeskClient.exe", "first"};
    readOnly.externalAttributes = kZipAttributeReadOnly;
    EXPECT_EQ(Extract({readOnly}).failedEntries, 0);

    ZipHandle* zip =
        OpenZipFile(Package({{"VeskClient.exe", "second"}, {"other.txt", "o"}}).c_str(), nullptr);
    SetZipBaseFolder(zip, m_program.wstring().c_str());
    EXPECT_EQ(UnzipEntryToFile(zip, 0, L"VeskClient.exe"), kZipCannotOpenFile);
    EXPECT_EQ(UnzipEntryToFile(zip, 1, L"other.txt"), kZipSuccess);
    CloseZipFile(zip);
    EXPECT_EQ(ReadFileBytes(m_program / "VeskClient.exe"), "first");
    EXPECT_EQ(Listing(m_program), (std::vector<std::string>{"VeskClient.exe", "other.txt"}));
}

TEST_F(ZipExtractTest, DamagedDataFailsAndLeavesTheOldFileWhole) {
    struct Case {
        const char* what;
        TestZipEntry stored;
        ZipResult result;
    };
    const std::string data(100000, 'v');
    TestZipEntry wrongCrc{"f.dat", data};
    wrongCrc.wrongCrc = true;
    TestZipEntry storedWrongCrc = wrongCrc;
    storedWrongCrc.deflate = false;
    TestZipEntry cutShort{"f.dat", data};
    cutShort.keepBytes = 20;
    TestZipEntry encrypted{"f.dat", data};
    encrypted.flags = 1;
    const Case cases[] = {
        {"deflated, wrong CRC", wrongCrc, kZipCorrupt},
        {"stored, wrong CRC", storedWrongCrc, kZipCorrupt},
        {"data cut short", cutShort, kZipFlateFailed},
        {"needs a password", encrypted, kZipPasswordRequired},
    };
    for (const Case& c : cases) {
        WriteFileBytes(m_program / "f.dat", "old");
        EXPECT_EQ(ExtractOne(c.stored), c.result) << c.what;
        EXPECT_EQ(ReadFileBytes(m_program / "f.dat"), "old") << c.what;
        EXPECT_EQ(Listing(m_program), std::vector<std::string>{"f.dat"}) << c.what;
    }
}

// Methods this reader cannot inflate (LZMA, AES, ...) are still described from the central
// record; only their extraction fails, with the method's code, and writes nothing.
TEST_F(ZipExtractTest, OtherMethodsAreDescribedButNotExtracted) {
    for (const std::uint16_t method : {14, 99, 93, 12}) {
        TestZipEntry stored = UnixEntry("packed.bin", "not really compressed", 0100644);
        stored.deflate = false;
        stored.method = method;
        stored.localExtra = ExtendedTimestamp(1, {1600000001});
        ZipHandle* zip = OpenZipFile(Package({stored, {"next.txt", "n"}}).c_str(), nullptr);
        SetZipBaseFolder(zip, m_program.wstring().c_str());
        ZipEntry entry;
        ASSERT_EQ(GetZipEntry(zip, 0, &entry), kZipSuccess) << method;
        EXPECT_EQ(entry.name, L"packed.bin");
        EXPECT_EQ(entry.uncompressedSize, 21u);
        EXPECT_EQ(UnzipEntryToFile(zip, 0, L"packed.bin"), kZipFlateFailed) << method;
        EXPECT_EQ(UnzipEntryToFile(zip, 1, L"next.txt"), kZipSuccess) << method;
        CloseZipFile(zip);
        EXPECT_EQ(Listing(m_program), std::vector<std::string>{"next.txt"}) << method;
    }
}

TEST_F(ZipExtractTest, LinksAreNeverMadeNorFollowedOut) {
    stdfs::create_directory(m_root / "outside");
    stdfs::create_directory_symlink(m_root / "outside", m_program / "plugins");
    WriteFileBytes(m_root / "outside/target.txt", "keep");
    stdfs::create_symlink(m_root / "outside/target.txt", m_program / "link.txt");

    const auto result =
        Extract({UnixEntry("plugins/x.dll", "x", 0100644), UnixEntry("plugins/sub/", "", 040755),
                 UnixEntry("link.txt", "replaced", 0100644),
                 UnixEntry("made-link", "/etc/passwd", 0120777)});
    EXPECT_EQ(result.failedEntries, 2);
    EXPECT_EQ(Listing(m_root.path() / "outside"), std::vector<std::string>{"target.txt"});
    EXPECT_EQ(ReadFileBytes(m_root / "outside/target.txt"), "keep");
    // A link in an entry's place is replaced itself; a link entry becomes a plain file.
    EXPECT_TRUE(S_ISREG(StatOf(m_program / "link.txt").st_mode));
    EXPECT_EQ(ReadFileBytes(m_program / "link.txt"), "replaced");
    EXPECT_TRUE(S_ISREG(StatOf(m_program / "made-link").st_mode));
    EXPECT_EQ(ReadFileBytes(m_program / "made-link"), "/etc/passwd");
}

TEST_F(ZipExtractTest, TargetsOfTheCaller) {
    ZipHandle* zip = OpenZipFile(Package({{"a.txt", "a"}}).c_str(), nullptr);
    // A base without a separator gets one; an absolute target is used as it stands.
    SetZipBaseFolder(zip, (m_program.wstring() + L"/base").c_str());
    EXPECT_EQ(UnzipEntryToFile(zip, 0, L"sub\\renamed.txt"), kZipSuccess);
    EXPECT_EQ(ReadFileBytes(m_program / "base/sub/renamed.txt"), "a");
    EXPECT_EQ(UnzipEntryToFile(zip, 0, (m_root.wide() + L"abs/a.txt").c_str()), kZipSuccess);
    EXPECT_EQ(ReadFileBytes(m_root / "abs/a.txt"), "a");
    // There are no drives to write to; an empty base would be the root folder.
    EXPECT_EQ(UnzipEntryToFile(zip, 0, L"C:\\a.txt"), kZipBadArguments);
    EXPECT_EQ(SetZipBaseFolder(zip, L""), kZipBadArguments);
    EXPECT_EQ(UnzipEntryToFile(zip, -1, L"a.txt"), kZipBadArguments);
    CloseZipFile(zip);
}

TEST_F(ZipExtractTest, EmptyOrUnopenablePackageChangesNothing) {
    WriteFileBytes(m_program / "keep.txt", "k");
    EXPECT_EQ(Extract({}).entries, 0);
    const auto missing = ExtractUpdatePackage(m_root.wide() + L"missing.zip", m_program.wstring());
    EXPECT_FALSE(missing.opened);
    EXPECT_EQ(missing.entries, 0);
    EXPECT_EQ(Listing(m_program), std::vector<std::string>{"keep.txt"});
}

// The current folder stands in for a base that was never set.
TEST_F(ZipExtractTest, EmptyProgramFolderExtractsNothing) {
    const stdfs::path current = m_root / "current";
    stdfs::create_directory(current);
    const stdfs::path previous = stdfs::current_path();
    stdfs::current_path(current);
    const auto result = ExtractUpdatePackage(Package({{"a.txt", "a"}, {"d/b.txt", "b"}}), L"");
    stdfs::current_path(previous);
    EXPECT_TRUE(result.opened);
    EXPECT_EQ(result.failedEntries, 0);
    EXPECT_EQ(Listing(current), std::vector<std::string>{});
    EXPECT_EQ(Listing(m_program), std::vector<std::string>{});
}

TEST_F(ZipExtractTest, PackageMadeByTheZipTool) {
    const stdfs::path release = m_root / "release";
    WriteFileBytes(release / "VeskClient.exe", std::string(300000, 'c'));
    WriteFileBytes(release / "themes/classic/bg.png", "png");
    WriteFileBytes(release / "plugins/empty.dll", "");
    stdfs::create_directories(release / "tmp");
    const std::string mtime =
        "touch -m -d @1700000001 '" + (release / "VeskClient.exe").string() + "'";
    ASSERT_EQ(std::system(mtime.c_str()), 0);
    const std::string zip = "cd '" + release.string() + "' && zip -q -r ../made.zip .";
    ASSERT_EQ(std::system(zip.c_str()), 0);

    const auto result = ExtractUpdatePackage(m_root.wide() + L"made.zip", m_program.wstring());
    EXPECT_EQ(result.failedEntries, 0);
    EXPECT_EQ(Listing(m_program), Listing(release));
    EXPECT_EQ(ReadFileBytes(m_program / "VeskClient.exe"), std::string(300000, 'c'));
    EXPECT_EQ(StatOf(m_program / "VeskClient.exe").st_mtim.tv_sec, 1700000001);
}

}  // namespace
