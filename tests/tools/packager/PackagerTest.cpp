// The packager run as a real program: its packages unpacked by the updater's archive reader
// must turn one release into the next, and its manifest must lead the updater to them.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <libtorrent/hasher.hpp>
#include <libtorrent/torrent_info.hpp>

#include "ChildProcess.h"
#include "PackageExtraction.h"
#include "TempDir.h"
#include "TorrentFile.h"
#include "VersionManifest.h"
#include "ZipArchive.h"
#include "digest/Ed25519.h"
#include "digest/FileDigest.h"
#include "fs/Paths.h"

namespace {

namespace fs = std::filesystem;
using vesk::test::ChildProcess;
using vesk::test::TempDir;

const char kBaseUrl[] = "http://127.0.0.1:8080/updates/";

struct FileSpec {
    std::string name;  // ending in "/" for an empty folder
    std::string content;
    std::int64_t modified = 1600000001;  // odd, so the two-second DOS time cannot hold it
    bool readOnly = false;
};
using Release = std::vector<FileSpec>;

void SetModified(const fs::path& path, std::int64_t seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

void WriteRelease(const fs::path& folder, const Release& release) {
    fs::create_directories(folder);
    for (const FileSpec& file : release) {
        const fs::path path = folder / file.name;
        if (file.name.back() == '/') {
            fs::create_directories(path);
            continue;
        }
        fs::create_directories(path.parent_path());
        vesk::test::WriteFileBytes(path, file.content);
        SetModified(path, file.modified);
        if (file.readOnly) ::chmod(path.c_str(), 0444);
    }
}

// Everything a package must carry over, per relative name; folders by their name only.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = fs::relative(entry.path(), folder).string();
        struct stat info {};
        ::lstat(entry.path().c_str(), &info);
        if (S_ISDIR(info.st_mode)) {
            files[name + "/"] = "";
            continue;
        }
        files[name] = vesk::test::ReadFileBytes(entry.path()) +
                      " mtime=" + std::to_string(info.st_mtim.tv_sec) +
                      ((info.st_mode & 0200) ? " writable" : " read-only");
    }
    return files;
}

// Unchanged from release to release and hardly compressible, so the full package outweighs
// a chain of update packages and the updater takes the chain.
std::string Engine() {
    std::string bytes(64 * 1024, '\0');
    std::uint32_t state = 12345;
    for (char& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

const Release kRelease1 = {
    {"bin/engine.dll", Engine()},
    {"readme.txt", "version one\n"},
    {"data/catalogue.xml", "<catalogue/>\n", 1500000000},
    {"docs/license.txt", "licence text\n", 1234567891, true},
    {"obsolete.txt", "gone in the next release\n"},
};

const Release kRelease2 = {
    {"bin/engine.dll", Engine()},
    {"readme.txt", "version two, a longer text\n", 1600000003},
    {"data/catalogue.xml", "<catalogue/>\n", 1500000000},
    {"docs/license.txt", "licence text\n", 1234567891, true},
    {"images/new.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), 1600000005},
    {"config/locked.ini", "[locked]\nkey=1\n", 1600000007, true},
    {"old-times.txt", "written before 1980\n", 100000001},
    {"donn\xc3\xa9"
     "es.txt",
     "a name beyond ASCII\n"},
    {"plugins/empty/"},
};

const Release kRelease3 = {
    {"bin/engine.dll", Engine()},
    {"readme.txt", "version three\n", 1700000001},
    {"data/catalogue.xml", "<catalogue version=\"3\"/>\n", 1700000003},
    {"docs/license.txt", "licence text\n", 1234567891, true},
    {"images/new.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), 1600000005},
    {"config/locked.ini", "[locked]\nkey=1\n", 1600000007, true},
    {"old-times.txt", "written before 1980\n", 100000001},
    {"donn\xc3\xa9"
     "es.txt",
     "a name beyond ASCII\n"},
    {"plugins/empty/"},
};

struct Outcome {
    int code = -1;
    std::string out;
    std::string err;
};

// A copy of the packager that any user may run: the build tree may lie in a folder that
// only its owner can enter.
std::string PackagerAnyoneMayRun() {
    static const TempDir folder;
    static const std::string program = [] {
        const fs::path copy = folder / "vesk_packager";
        fs::copy_file(VESK_PACKAGER, copy);
        ::chmod(folder.path().c_str(), 0755);
        return copy.string();
    }();
    return program;
}

// As root nothing is unreadable, so the refusal of an unreadable file is seen by a packager
// that runs as an ordinary user.
Outcome Packager(std::vector<std::string> args, bool asOrdinaryUser = false) {
    ChildProcess child;
    std::string program = VESK_PACKAGER;
    if (asOrdinaryUser && ::geteuid() == 0) {
        args.insert(args.begin(),
                    {"--reuid=65534", "--regid=65534", "--clear-groups", PackagerAnyoneMayRun()});
        program = "/usr/bin/setpriv";
    }
    EXPECT_TRUE(child.Start(program, {.args = args}));
    Outcome run;
    run.code = child.Wait();
    run.out = child.Output();
    run.err = child.Error();
    return run;
}

Outcome Package(const fs::path& from, const fs::path& to, const std::string& id,
                const fs::path& out) {
    return Packager(
        {"package", "--from", from, "--to", to, "--id", id, "--out", out, "--base-url", kBaseUrl});
}

std::vector<std::string> EntryNames(const fs::path& zipPath) {
    ZipHandle* zip = OpenZipFile(vesk::fs::WidePath(zipPath.string()).c_str(), nullptr);
    std::vector<std::string> names;
    ZipEntry entry;
    GetZipEntry(zip, -1, &entry);
    const int count = entry.index;
    for (int i = 0; i < count; ++i) {
        if (GetZipEntry(zip, i, &entry) == kZipSuccess)
            names.push_back(vesk::fs::NativePath(entry.name));
    }
    CloseZipFile(zip);
    return names;
}

void Extract(const fs::path& package, const fs::path& installation) {
    const PackageExtractionResult result = ExtractUpdatePackage(
        vesk::fs::WidePath(package.string()), vesk::fs::WidePath(installation.string() + "/"));
    EXPECT_TRUE(result.opened) << package;
    EXPECT_EQ(result.failedEntries, 0) << package;
}

UpdatePackageList ReadManifest(const fs::path& path) {
    UpdatePackageList packages;
    EXPECT_TRUE(ParseManifest(vesk::fs::WidePath(path.string()), packages));
    return packages;
}

void ExpectRecordMatchesFile(const UpdatePackage& record, const fs::path& folder) {
    const fs::path file = folder / vesk::fs::NativePath(record.name);
    ASSERT_TRUE(fs::exists(file)) << file;
    EXPECT_EQ(record.size, static_cast<std::int32_t>(fs::file_size(file)));
    EXPECT_EQ(record.md5, vesk::digest::FileMd5Hex(vesk::fs::WidePath(file.string())));
    EXPECT_EQ(record.url, vesk::fs::WidePath(kBaseUrl) + record.name);
    EXPECT_EQ(record.buildVersion, record.id);
}

class PackagerTest : public ::testing::Test {
protected:
    TempDir m_temp;
    fs::path m_out = m_temp / "out";
};

TEST_F(PackagerTest, UpdatePackageTurnsTheOldReleaseIntoTheNew) {
    WriteRelease(m_temp / "r1", kRelease1);
    WriteRelease(m_temp / "r2", kRelease2);
    const Outcome run = Package(m_temp / "r1", m_temp / "r2", "0002", m_out);
    ASSERT_EQ(run.code, 0) << run.err;

    // Only what was added or changed; a folder only where no file brings it.
    EXPECT_THAT(EntryNames(m_out / "patch-0002.zip"),
                ::testing::UnorderedElementsAre("readme.txt", "images/new.png", "config/locked.ini",
                                                "old-times.txt",
                                                "donn\xc3\xa9"
                                                "es.txt",
                                                "plugins/empty/"));

    WriteRelease(m_temp / "installed", kRelease1);
    Extract(m_out / "patch-0002.zip", m_temp / "installed");
    auto expected = Snapshot(m_temp / "r2");
    // Deleted files are not represented: the old one stays.
    expected["obsolete.txt"] = Snapshot(m_temp / "r1")["obsolete.txt"];
    EXPECT_EQ(Snapshot(m_temp / "installed"), expected);

    Extract(m_out / "full-0002.zip", m_temp / "fresh");
    EXPECT_EQ(Snapshot(m_temp / "fresh"), Snapshot(m_temp / "r2"));
}

TEST_F(PackagerTest, ManifestRecordsThePackagesAndLeadsTheUpdaterToThem) {
    WriteRelease(m_temp / "r1", kRelease1);
    WriteRelease(m_temp / "r2", kRelease2);
    const Outcome run = Package(m_temp / "r1", m_temp / "r2", "0002", m_out);
    ASSERT_EQ(run.code, 0) << run.err;

    const UpdatePackageList packages = ReadManifest(m_out / "veskversion.xml");
    ASSERT_EQ(packages.size(), 2u);
    EXPECT_EQ(packages[0].name, L"patch-0002.zip");
    EXPECT_EQ(packages[0].fileCount, 5);
    EXPECT_EQ(packages[1].name, L"full-0002.zip");
    EXPECT_EQ(packages[1].fileCount, 8);
    for (const UpdatePackage& package : packages) {
        EXPECT_EQ(package.id, L"0002");
        ExpectRecordMatchesFile(package, m_out);
        // One line per file written, with what the manifest says of it.
        const std::string line = "wrote " + (m_out / vesk::fs::NativePath(package.name)).string() +
                                 " " + std::to_string(package.size) + " " + package.md5;
        EXPECT_THAT(run.out, ::testing::HasSubstr(line));
    }
    EXPECT_THAT(run.out, ::testing::HasSubstr("wrote " + (m_out / "veskversion.xml").string()));

    const PackageSelection fromOld = SelectPackages(L"0001", packages);
    EXPECT_EQ(PackagesToDownload(fromOld, packages), std::vector<int>{0});
    EXPECT_EQ(PackagesToDownload(SelectPackages(L"0000", packages), packages), std::vector<int>{1});
    EXPECT_EQ(SelectPackages(L"0002", packages).currentIndex, 2);
}

// Each release packaged on its own extends one manifest, and a whole chain at once gives the
// same manifest; either way the chain the updater picks brings release 1 to release 3.
TEST_F(PackagerTest, ChainOfReleasesIsInstalledInTurn) {
    WriteRelease(m_temp / "r1", kRelease1);
    WriteRelease(m_temp / "r2", kRelease2);
    WriteRelease(m_temp / "r3", kRelease3);
    const fs::path stepwise = m_temp / "stepwise";
    ASSERT_EQ(Package(m_temp / "r1", m_temp / "r2", "0002", stepwise).code, 0);
    ASSERT_EQ(Package(m_temp / "r2", m_temp / "r3", "0003", stepwise).code, 0);
    const Outcome chain =
        Packager({"chain", "--releases", m_temp / "r1", m_temp / "r2", m_temp / "r3", "--ids",
                  "0001", "0002", "0003", "--out", m_out, "--base-url", kBaseUrl});
    ASSERT_EQ(chain.code, 0) << chain.err;
    EXPECT_EQ(vesk::test::ReadFileBytes(m_out / "veskversion.xml"),
              vesk::test::ReadFileBytes(stepwise / "veskversion.xml"));

    const UpdatePackageList packages = ReadManifest(m_out / "veskversion.xml");
    ASSERT_EQ(packages.size(), 3u);
    EXPECT_EQ(packages[0].id, L"0002");
    EXPECT_EQ(packages[1].id, L"0003");
    EXPECT_EQ(packages[2].name, L"full-0003.zip");
    for (const UpdatePackage& package : packages) ExpectRecordMatchesFile(package, m_out);

    const std::vector<int> chosen = PackagesToDownload(SelectPackages(L"0001", packages), packages);
    ASSERT_EQ(chosen, (std::vector<int>{0, 1}));
    WriteRelease(m_temp / "installed", kRelease1);
    for (const int index : chosen)
        Extract(m_out / vesk::fs::NativePath(packages[index].name), m_temp / "installed");
    auto expected = Snapshot(m_temp / "r3");
    expected["obsolete.txt"] = Snapshot(m_temp / "r1")["obsolete.txt"];
    EXPECT_EQ(Snapshot(m_temp / "installed"), expected);
}

TEST_F(PackagerTest, PackagingTheLastReleaseAgainReplacesItsRecordAndOlderIdsAreRefused) {
    WriteRelease(m_temp / "r1", kRelease1);
    WriteRelease(m_temp / "r2", kRelease2);
    WriteRelease(m_temp / "r3", kRelease3);
    ASSERT_EQ(Package(m_temp / "r1", m_temp / "r2", "0002", m_out).code, 0);
    ASSERT_EQ(Package(m_temp / "r2", m_temp / "r3", "0003", m_out).code, 0);
    ASSERT_EQ(Package(m_temp / "r2", m_temp / "r3", "0003", m_out).code, 0);
    EXPECT_EQ(ReadManifest(m_out / "veskversion.xml").size(), 3u);

    const std::string before = vesk::test::ReadFileBytes(m_out / "veskversion.xml");
    const Outcome older = Package(m_temp / "r1", m_temp / "r2", "0002", m_out);
    EXPECT_EQ(older.code, 2);
    EXPECT_THAT(older.err, ::testing::HasSubstr("already lists package 0002"));
    EXPECT_EQ(vesk::test::ReadFileBytes(m_out / "veskversion.xml"), before);
}

// What the updater would refuse is refused before anything is written.
TEST_F(PackagerTest, RefusesWhatTheUpdaterWouldRefuseAndWritesNothing) {
    struct Case {
        const char* what;
        std::function<void(const fs::path& old, const fs::path& next)> spoil;
        std::string message;
        std::vector<std::string> ids = {"0001", "0002"};
        bool asOrdinaryUser = false;
    };
    const std::vector<Case> cases = {
        {"symbolic link",
         [](auto&, auto& next) { fs::create_symlink("readme.txt", next / "link"); },
         "symbolic link"},
        {"special file", [](auto&, auto& next) { ::mkfifo((next / "pipe").c_str(), 0644); },
         "special file"},
        {"unreadable file",
         [](auto&, auto& next) { ::chmod((next / "readme.txt").c_str(), 0); },
         "cannot read",
         {"0001", "0002"},
         true},
        {"unreadable folder",
         [](auto&, auto& next) { ::chmod((next / "data").c_str(), 0); },
         "cannot read",
         {"0001", "0002"},
         true},
        {"backslash in a name",
         [](auto&, auto& next) { vesk::test::WriteFileBytes(next / "a\\..\\b.txt", "x"); }, "\\"},
        {"name taken for a drive",
         [](auto&, auto& next) { vesk::test::WriteFileBytes(next / "c:x.txt", "x"); },
         "another name"},
        {"name too long",
         [](auto&, auto& next) {
             const fs::path deep = next / std::string(200, 'a') / std::string(100, 'b');
             fs::create_directories(deep);
         },
         "longer than"},
        {"read-only file that changes",
         [](auto&, auto& next) {
             ::chmod((next / "docs/license.txt").c_str(), 0644);
             vesk::test::WriteFileBytes(next / "docs/license.txt", "new licence\n");
         },
         "read-only"},
        {"file that becomes a folder",
         [](auto&, auto& next) {
             fs::remove(next / "obsolete.txt");
             fs::create_directories(next / "obsolete.txt");
         },
         "cannot replace"},
        {"unsafe id", [](auto&, auto&) {}, "cannot be a package id", {"0001", "a/b"}},
        {"ids out of order", [](auto&, auto&) {}, "sort", {"0002", "0001"}},
    };
    ::chmod(m_temp.path().c_str(), 0755);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path old = m_temp / "old";
        const fs::path next = m_temp / "next";
        fs::remove_all(old);
        fs::remove_all(next);
        WriteRelease(old, kRelease1);
        WriteRelease(next, kRelease1);
        c.spoil(old, next);
        const Outcome run = Packager({"chain", "--releases", old, next, "--ids", c.ids[0], c.ids[1],
                                      "--out", m_out, "--base-url", kBaseUrl},
                                     c.asOrdinaryUser);
        EXPECT_EQ(run.code, 2);
        EXPECT_THAT(run.err, ::testing::HasSubstr(c.message));
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(fs::exists(m_out));
        ::chmod((next / "readme.txt").c_str(), 0644);
        ::chmod((next / "data").c_str(), 0755);
    }
}

TEST_F(PackagerTest, BadCommandLinePrintsUsage) {
    const std::vector<std::vector<std::string>> lines = {
        {},
        {"unpack"},
        {"package", "--from", "a", "--to", "b", "--id", "0002", "--out", "o"},
        {"package", "--from", "a", "--to", "b", "--id", "1", "2", "--out", "o", "--base-url", "u"},
        {"chain", "--releases", "a", "b", "--ids", "1", "--out", "o", "--base-url", "u"},
        {"package", "stray", "--from", "a"},
        {"chain", "--releases", "a", "b", "--ids", "1", "2", "--out", "o", "--base-url", "u",
         "--expires-in", "7"},
        {"chain", "--releases", "a", "b", "--ids", "1", "2", "--out", "o", "--base-url", "u",
         "--sign"},
        {"chain", "--releases", "a", "b", "--ids", "1", "2", "--out", "o", "--base-url", "u",
         "--sign", "k", "--expires-in", "0"},
        {"chain", "--releases", "a", "b", "--ids", "1", "2", "--out", "o", "--base-url", "u",
         "--sign", "k", "--expires-in", "-3"},
        {"chain", "--releases", "a", "b", "--ids", "1", "2", "--out", "o", "--base-url", "u",
         "--sign", "k", "--expires-in", "7d"},
        {"keygen"},
        {"keygen", "--out"},
        {"keygen", "--out", "k", "--base-url", "u"},
        {"chain", "--releases", "a", "b", "--ids", "1", "2", "--out", "o", "--base-url", "u",
         "--adopt-manifest"},
        {"chain", "--releases", "a", "b", "--ids", "1", "2", "--out", "o", "--base-url", "u",
         "--sign", "k", "--adopt-manifest", "yes"},
        {"sign"},
        {"sign", "file"},
        {"sign", "--key", "k"},
        {"sign", "--key", "k", "file", "another"},
        {"sign", "--key", "k", "--out", "file"},
        {"sign", "--key", "k", ""},
        {"chain", "--releases", "a", "b", "--ids", "1", "2", "--out", "o", "--base-url", "u",
         "--tracker"},
    };
    for (const auto& args : lines) {
        const Outcome run = Packager(args);
        EXPECT_EQ(run.code, 2);
        EXPECT_THAT(run.err, ::testing::HasSubstr("usage")) << ::testing::PrintToString(args);
    }
}

// Signing: the publisher's key, the digests and expiry a signed manifest carries, and the
// signature beside it, checked with the same function an installation uses.

using Attributes = std::map<std::string, std::string>;

// The attributes of each element of that name, in order.
std::vector<Attributes> Elements(const std::string& manifest, const std::string& name) {
    std::vector<Attributes> elements;
    const std::regex element("<" + name + "\\b([^>]*)>");
    const std::regex attribute("([a-z_0-9]+)=\"([^\"]*)\"");
    for (std::sregex_iterator e(manifest.begin(), manifest.end(), element), end; e != end; ++e) {
        Attributes attributes;
        const std::string text = (*e)[1];
        for (std::sregex_iterator a(text.begin(), text.end(), attribute); a != end; ++a)
            attributes[(*a)[1]] = (*a)[2];
        elements.push_back(attributes);
    }
    return elements;
}

std::vector<Attributes> PackageElements(const std::string& manifest) {
    std::vector<Attributes> packages = Elements(manifest, "updatepackage");
    for (const Attributes& latest : Elements(manifest, "latestpackage")) packages.push_back(latest);
    return packages;
}

std::int64_t SecondsNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Seconds since 1970 of "YYYY-MM-DDTHH:MM:SSZ"; -1 for any other text.
std::int64_t ParseUtc(const std::string& text) {
    std::tm parts{};
    char zone = 0;
    int consumed = 0;
    if (text.size() != 20 ||
        std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c%n", &parts.tm_year, &parts.tm_mon,
                    &parts.tm_mday, &parts.tm_hour, &parts.tm_min, &parts.tm_sec, &zone,
                    &consumed) != 7 ||
        zone != 'Z' || consumed != 20) {
        return -1;
    }
    parts.tm_year -= 1900;
    parts.tm_mon -= 1;
    return ::timegm(&parts);
}

class SigningTest : public PackagerTest {
protected:
    void SetUp() override {
        WriteRelease(m_temp / "r1", kRelease1);
        WriteRelease(m_temp / "r2", kRelease2);
        WriteRelease(m_temp / "r3", kRelease3);
        const Outcome keygen = Packager({"keygen", "--out", m_key});
        ASSERT_EQ(keygen.code, 0) << keygen.err;
        m_public = vesk::test::ReadFileBytes(m_temp / "publisher.key.pub");
    }

    std::vector<std::string> SignedChain(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"chain",       "--releases", m_temp / "r1", m_temp / "r2",
                                         m_temp / "r3", "--ids",      "0001",        "0002",
                                         "0003",        "--out",      m_out,         "--base-url",
                                         kBaseUrl,      "--sign",     m_key};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }

    // Every package listed has the digest of its file, and the signature holds.
    void ExpectSignedAndIntact(std::size_t packages) {
        const std::string manifest = vesk::test::ReadFileBytes(m_out / "veskversion.xml");
        const std::string signature = vesk::test::ReadFileBytes(m_out / "veskversion.xml.sig");
        EXPECT_TRUE(std::regex_match(signature, std::regex("[0-9a-f]{128}\n"))) << signature;
        EXPECT_TRUE(vesk::digest::Verify(m_public, manifest, signature));
        const std::vector<Attributes> elements = PackageElements(manifest);
        ASSERT_EQ(elements.size(), packages);
        for (const Attributes& element : elements) {
            SCOPED_TRACE(element.at("name"));
            EXPECT_TRUE(std::regex_match(element.at("sha256"), std::regex("[0-9a-f]{64}")));
            EXPECT_EQ(element.at("sha256"), vesk::digest::FileSha256Hex(vesk::fs::WidePath(
                                                (m_out / element.at("name")).string())));
        }
        EXPECT_EQ(ReadManifest(m_out / "veskversion.xml").size(), packages);
    }

    std::string m_key = (m_temp / "publisher.key").string();
    std::string m_public;
};

TEST_F(SigningTest, KeygenWritesAPrivateKeyAndItsPublicKeyAndNeverOverwrites) {
    const std::string seed = vesk::test::ReadFileBytes(m_key);
    EXPECT_TRUE(std::regex_match(seed, std::regex("[0-9a-f]{64}\n"))) << seed;
    EXPECT_TRUE(std::regex_match(m_public, std::regex("[0-9a-f]{64}\n"))) << m_public;
    const auto key = vesk::digest::ParsePrivateKey(seed);
    ASSERT_TRUE(key);
    EXPECT_EQ(vesk::digest::ToText(*vesk::digest::PublicKeyOf(*key)) + "\n", m_public);
    struct stat info {};
    ASSERT_EQ(::stat(m_key.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);

    const Outcome again = Packager({"keygen", "--out", m_key});
    EXPECT_EQ(again.code, 2);
    EXPECT_THAT(again.err, ::testing::HasSubstr("exists"));
    EXPECT_EQ(vesk::test::ReadFileBytes(m_key), seed);
    EXPECT_EQ(vesk::test::ReadFileBytes(m_key + ".pub"), m_public);

    const Outcome help = Packager({});
    EXPECT_THAT(help.err, ::testing::HasSubstr("update_key.pub"));
}

TEST_F(SigningTest, SignedChainCarriesDigestsAnExpiryAndAValidSignature) {
    const std::int64_t before = SecondsNow();
    const Outcome run = Packager(SignedChain());
    const std::int64_t after = SecondsNow();
    ASSERT_EQ(run.code, 0) << run.err;
    ExpectSignedAndIntact(3);
    EXPECT_THAT(run.out, ::testing::HasSubstr("wrote " + (m_out / "veskversion.xml.sig").string()));

    const std::string manifest = vesk::test::ReadFileBytes(m_out / "veskversion.xml");
    std::vector<Attributes> root = Elements(manifest, "root");
    ASSERT_EQ(root.size(), 1u);
    const std::int64_t expires = ParseUtc(root[0]["expires"]);
    EXPECT_GE(expires, before + 30 * 86400) << root[0]["expires"];
    EXPECT_LE(expires, after + 30 * 86400) << root[0]["expires"];

    // One changed byte anywhere, even in the layout, and the signature no longer holds.
    const std::string signature = vesk::test::ReadFileBytes(m_out / "veskversion.xml.sig");
    for (const std::size_t at :
         {std::size_t{0}, manifest.find("sha256") + 9, manifest.size() - 1}) {
        std::string tampered = manifest;
        tampered[at] ^= 0x01;
        EXPECT_FALSE(vesk::digest::Verify(m_public, tampered, signature)) << at;
    }
}

TEST_F(SigningTest, ExpiryCanBeChosenForASinglePackage) {
    const std::int64_t before = SecondsNow();
    const Outcome run =
        Packager({"package", "--from", m_temp / "r1", "--to", m_temp / "r2", "--id", "0002",
                  "--out", m_out, "--base-url", kBaseUrl, "--sign", m_key, "--expires-in", "7"});
    const std::int64_t after = SecondsNow();
    ASSERT_EQ(run.code, 0) << run.err;
    ExpectSignedAndIntact(2);
    const std::int64_t expires = ParseUtc(
        Elements(vesk::test::ReadFileBytes(m_out / "veskversion.xml"), "root")[0]["expires"]);
    EXPECT_GE(expires, before + 7 * 86400);
    EXPECT_LE(expires, after + 7 * 86400);
}

// A manifest begun unsigned carries no signature of the key, so it is signed only when the
// publisher adopts it, and then whole, the earlier packages' digests taken from their files;
// one whose file is gone cannot be vouched for.
TEST_F(SigningTest, AnUnsignedManifestIsSignedOnlyWhenAdoptedAndThenWhole) {
    ASSERT_EQ(Package(m_temp / "r1", m_temp / "r2", "0002", m_out).code, 0);
    const std::vector<std::string> extend = {
        "package", "--from", m_temp / "r2", "--to",   m_temp / "r3", "--id", "0003",
        "--out",   m_out,    "--base-url",  kBaseUrl, "--sign",      m_key};
    const std::string begun = vesk::test::ReadFileBytes(m_out / "veskversion.xml");
    const Outcome refused = Packager(extend);
    EXPECT_EQ(refused.code, 2);
    EXPECT_THAT(refused.err, ::testing::HasSubstr("veskversion.xml.sig\" does not exist"));
    EXPECT_THAT(refused.err, ::testing::HasSubstr("--adopt-manifest"));
    EXPECT_EQ(vesk::test::ReadFileBytes(m_out / "veskversion.xml"), begun);
    EXPECT_FALSE(fs::exists(m_out / "veskversion.xml.sig"));
    EXPECT_FALSE(fs::exists(m_out / "patch-0003.zip"));

    std::vector<std::string> adopt = extend;
    adopt.push_back("--adopt-manifest");
    const Outcome run = Packager(adopt);
    ASSERT_EQ(run.code, 0) << run.err;
    ExpectSignedAndIntact(3);

    const fs::path other = m_temp / "other";
    ASSERT_EQ(Package(m_temp / "r1", m_temp / "r2", "0002", other).code, 0);
    fs::remove(other / "patch-0002.zip");
    const std::string before = vesk::test::ReadFileBytes(other / "veskversion.xml");
    const Outcome gone =
        Packager({"package", "--from", m_temp / "r2", "--to", m_temp / "r3", "--id", "0003",
                  "--out", other, "--base-url", kBaseUrl, "--sign", m_key, "--adopt-manifest"});
    EXPECT_EQ(gone.code, 2);
    EXPECT_THAT(gone.err, ::testing::HasSubstr("patch-0002.zip\" without a SHA-256 digest"));
    EXPECT_EQ(vesk::test::ReadFileBytes(other / "veskversion.xml"), before);
    EXPECT_FALSE(fs::exists(other / "veskversion.xml.sig"));
    EXPECT_FALSE(fs::exists(other / "patch-0003.zip"));
}

// Packaging a release again without the key must not leave the digest of the package it
// replaced, which would no longer match.
TEST_F(SigningTest, UnsignedRepackagingDropsTheReplacedDigest) {
    ASSERT_EQ(Packager(SignedChain()).code, 0);
    vesk::test::WriteFileBytes(m_temp / "r3" / "readme.txt", "version three, corrected\n");
    const Outcome run = Package(m_temp / "r2", m_temp / "r3", "0003", m_out);
    ASSERT_EQ(run.code, 0) << run.err;
    // The old signature no longer holds, and the publisher is told so.
    EXPECT_THAT(run.err, ::testing::HasSubstr("veskversion.xml.sig\" no longer matches"));
    EXPECT_THAT(run.err, ::testing::HasSubstr("--adopt-manifest"));
    const std::vector<Attributes> elements =
        PackageElements(vesk::test::ReadFileBytes(m_out / "veskversion.xml"));
    ASSERT_EQ(elements.size(), 3u);
    for (const Attributes& element : elements) {
        SCOPED_TRACE(element.at("name"));
        const auto sha256 = element.find("sha256");
        if (sha256 == element.end()) continue;
        EXPECT_EQ(element.at("name"), "patch-0002.zip");  // the one not repackaged
        EXPECT_EQ(sha256->second, vesk::digest::FileSha256Hex(
                                      vesk::fs::WidePath((m_out / element.at("name")).string())));
    }
}

TEST_F(SigningTest, UnsignedRunWritesNoDigestExpiryOrSignature) {
    const Outcome run = Package(m_temp / "r1", m_temp / "r2", "0002", m_out);
    ASSERT_EQ(run.code, 0) << run.err;
    const std::string manifest = vesk::test::ReadFileBytes(m_out / "veskversion.xml");
    EXPECT_THAT(manifest, ::testing::Not(::testing::HasSubstr("sha256")));
    EXPECT_THAT(manifest, ::testing::Not(::testing::HasSubstr("expires")));
    EXPECT_FALSE(fs::exists(m_out / "veskversion.xml.sig"));
    EXPECT_EQ(run.err, "");
}

TEST_F(SigningTest, BadKeyFileIsRefusedBeforeAnythingIsWritten) {
    const std::pair<const char*, std::function<void(const fs::path&)>> cases[] = {
        {"absent", [](const fs::path&) {}},
        {"empty", [](const fs::path& key) { vesk::test::WriteFileBytes(key, ""); }},
        {"63 digits",
         [](const fs::path& key) { vesk::test::WriteFileBytes(key, std::string(63, 'a') + "\n"); }},
        {"not hexadecimal",
         [](const fs::path& key) { vesk::test::WriteFileBytes(key, std::string(64, 'x') + "\n"); }},
        {"a signature, not a key",
         [](const fs::path& key) { vesk::test::WriteFileBytes(key, std::string(128, 'a')); }},
        {"a folder", [](const fs::path& key) { fs::create_directories(key); }},
    };
    for (const auto& [what, make] : cases) {
        SCOPED_TRACE(what);
        const fs::path key = m_temp / "bad.key";
        fs::remove_all(key);
        make(key);
        const Outcome bad =
            Packager({"chain", "--releases", m_temp / "r1", m_temp / "r2", "--ids", "0001", "0002",
                      "--out", m_temp / "refused", "--base-url", kBaseUrl, "--sign", key});
        EXPECT_EQ(bad.code, 2);
        EXPECT_THAT(bad.err, ::testing::HasSubstr(key.string()));
        EXPECT_EQ(bad.out, "");
        EXPECT_FALSE(fs::exists(m_temp / "refused"));
    }
}

// Any file signed in the manifest's form, as an installation checks its service's installer.
TEST_F(SigningTest, SignCommandWritesTheKeysSignatureOfAnyFileBesideIt) {
    std::string installer = Engine() + std::string(3, '\0') + Engine();
    installer.resize(1024 * 1024 + 7, 'x');
    const fs::path file = m_temp / "served" / "TSPInst.exe";
    vesk::test::WriteFileBytes(file, installer);
    vesk::test::WriteFileBytes(m_temp / "served" / "TSPInst.exe.sig", std::string(128, '0'));
    const Outcome run = Packager({"sign", "--key", m_key, file});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "wrote " + file.string() + ".sig\n");
    const std::string signature = vesk::test::ReadFileBytes(file.string() + ".sig");
    EXPECT_TRUE(std::regex_match(signature, std::regex("[0-9a-f]{128}\n"))) << signature;
    EXPECT_TRUE(vesk::digest::Verify(m_public, installer, signature));
    std::string tampered = installer;
    tampered[tampered.size() / 2] ^= 0x01;
    EXPECT_FALSE(vesk::digest::Verify(m_public, tampered, signature));
    EXPECT_FALSE(vesk::digest::Verify(m_public, installer + "x", signature));
    EXPECT_EQ(vesk::test::ReadFileBytes(file), installer);

    // What cannot be signed leaves the folder as it was, an earlier signature included.
    const fs::path folder = file.parent_path();
    const auto listing = [&] {
        std::map<std::string, std::string> names;  // the signature's text, the installer's size
        for (const auto& entry : fs::directory_iterator(folder)) {
            const std::string name = entry.path().filename();
            names[name] = name == "TSPInst.exe" ? std::to_string(fs::file_size(entry.path()))
                                                : vesk::test::ReadFileBytes(entry.path());
        }
        return names;
    };
    const auto before = listing();
    const fs::path absentKey = m_temp / "absent.key";
    const struct {
        const char* what;
        std::vector<std::string> args;
        std::string message;
    } refusals[] = {
        {"no key", {"sign", "--key", absentKey, file}, absentKey.string()},
        {"a signature, not a key",
         {"sign", "--key", file.string() + ".sig", file},
         "does not hold a signing key"},
        {"no file", {"sign", "--key", m_key, folder / "absent.exe"}, "does not exist"},
        {"a folder", {"sign", "--key", m_key, m_temp / "r1"}, "is not a file"},
    };
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(refusal.what);
        const Outcome refused = Packager(refusal.args);
        EXPECT_EQ(refused.code, 2);
        EXPECT_THAT(refused.err, ::testing::HasSubstr(refusal.message));
        EXPECT_EQ(refused.out, "");
        EXPECT_EQ(listing(), before);
    }
    EXPECT_FALSE(fs::exists(m_temp / "r1.sig"));
}

// An installation cuts a longer id short and would never find its version in the manifest.
// It reads the manifest in its locale's character set, so beyond ASCII a byte counts as one.
TEST_F(PackagerTest, VersionIdsLongerThanAnInstallationRecordsAreRefused) {
    WriteRelease(m_temp / "r1", kRelease1);
    WriteRelease(m_temp / "r2", kRelease2);
    WriteRelease(m_temp / "r3", kRelease3);
    const std::string e = "\xc3\xa9";  // one character, two bytes
    std::string fourteenBytes;
    for (int i = 0; i < 7; ++i) fourteenBytes += e;
    const std::string sixteenBytes = fourteenBytes + e;
    const struct {
        std::vector<std::string> ids;  // the first "" for the package command
        std::string tooLong;           // empty: accepted
    } cases[] = {
        {{"", "release-2024-0002"}, "release-2024-0002"},
        {{"", "release-2024-002"}, "release-2024-002"},
        {{"", "release-2024-00"}, ""},
        {{"", sixteenBytes}, sixteenBytes},
        {{"", fourteenBytes + "1"}, ""},
        {{"0001", "release-2024-0002", "release-2024-0003"}, "release-2024-0002"},
        {{"release-2024-0001", "release-2024-02", "release-2024-03"}, "release-2024-0001"},
        {{"0001", "0002", "release-2024-0003"}, "release-2024-0003"},
        {{"release-2024-01", "release-2024-02", "release-2024-03"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.ids));
        fs::remove_all(m_out);
        std::vector<std::string> args;
        if (c.ids[0].empty()) {
            args = {"package", "--from", m_temp / "r1", "--to", m_temp / "r2", "--id", c.ids[1]};
        } else {
            args = {"chain", "--releases", m_temp / "r1", m_temp / "r2", m_temp / "r3", "--ids"};
            args.insert(args.end(), c.ids.begin(), c.ids.end());
        }
        args.insert(args.end(), {"--out", m_out, "--base-url", kBaseUrl});
        const Outcome run = Packager(args);
        if (c.tooLong.empty()) {
            EXPECT_EQ(run.code, 0) << run.err;
            EXPECT_THAT(vesk::test::ReadFileBytes(m_out / "veskversion.xml"),
                        ::testing::HasSubstr("id=\"" + c.ids.back() + "\""));
            continue;
        }
        EXPECT_EQ(run.code, 2);
        EXPECT_THAT(run.err, ::testing::HasSubstr("\"" + c.tooLong + "\" is longer than 15"));
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(fs::exists(m_out));
    }
}

// Signing again what lies in the output folder would vouch for whatever another hand put
// there: a manifest is extended only when its own signature is the key's.
TEST_F(SigningTest, ExtendingASignedManifestNeedsTheKeysSignatureOfIt) {
    ASSERT_EQ(Packager(SignedChain()).code, 0);
    Release release4 = kRelease3;
    release4[1] = {"readme.txt", "version four\n", 1800000001};
    WriteRelease(m_temp / "r4", release4);
    const fs::path signedOut = m_temp / "signed";
    fs::copy(m_out, signedOut);
    const auto otherKey = vesk::digest::GenerateKey();
    ASSERT_TRUE(otherKey);
    const fs::path manifest = m_out / "veskversion.xml";
    const fs::path signature = m_out / "veskversion.xml.sig";
    const auto changeManifest = [&] {
        std::string text = vesk::test::ReadFileBytes(manifest);
        const std::size_t url = text.find(kBaseUrl);
        text.replace(url, std::string(kBaseUrl).size(), "http://elsewhere.example/");
        vesk::test::WriteFileBytes(manifest, text);
    };
    const struct {
        const char* what;
        std::function<void()> spoil;
        std::string message;
    } cases[] = {
        {"no signature", [&] { fs::remove(signature); }, "does not exist"},
        {"not a signature", [&] { vesk::test::WriteFileBytes(signature, "signed, honestly\n"); },
         "does not hold a signature"},
        {"a signature too long to be one",
         [&] { vesk::test::WriteFileBytes(signature, std::string(2000, 'a')); }, "is too large"},
        {"a folder",
         [&] {
             fs::remove(signature);
             fs::create_directories(signature);
         },
         "is not a file"},
        {"another key's signature",
         [&] {
             const auto other = vesk::digest::Sign(*otherKey, vesk::test::ReadFileBytes(manifest));
             vesk::test::WriteFileBytes(signature, vesk::digest::ToText(*other) + "\n");
         },
         "is not this key's signature"},
        {"a manifest changed after signing", changeManifest, "is not this key's signature"},
    };
    const std::vector<std::string> extend = {
        "package", "--from", m_temp / "r3", "--to",   m_temp / "r4", "--id", "0004",
        "--out",   m_out,    "--base-url",  kBaseUrl, "--sign",      m_key};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(m_out);
        fs::copy(signedOut, m_out);
        c.spoil();
        const auto before = Snapshot(m_out);
        const Outcome refused = Packager(extend);
        EXPECT_EQ(refused.code, 2);
        EXPECT_THAT(refused.err, ::testing::HasSubstr(signature.string() + "\" " + c.message));
        EXPECT_EQ(refused.out, "");
        EXPECT_EQ(Snapshot(m_out), before);
    }

    // Its own signature lets it grow; adopting a changed one signs it with every digest anew.
    fs::remove_all(m_out);
    fs::copy(signedOut, m_out);
    const Outcome extended = Packager(extend);
    ASSERT_EQ(extended.code, 0) << extended.err;
    ExpectSignedAndIntact(4);

    fs::remove_all(m_out);
    fs::copy(signedOut, m_out);
    std::string planted = vesk::test::ReadFileBytes(manifest);
    const std::size_t digest = planted.find("sha256=\"") + 8;
    planted.replace(digest, 64, std::string(64, 'f'));
    vesk::test::WriteFileBytes(manifest, planted);
    std::vector<std::string> adopt = extend;
    adopt.push_back("--adopt-manifest");
    const Outcome adopted = Packager(adopt);
    ASSERT_EQ(adopted.code, 0) << adopted.err;
    ExpectSignedAndIntact(4);
}

// Torrents: each package's torrent names it alone and hashes its pieces from its bytes, and
// the whitelist lets the tracker track exactly the packages the manifest lists.

const char kTracker[] = "http://127.0.0.1:6969/announce";
const char kSecondTracker[] = "http://127.0.0.1:6970/announce";

std::string HexOf(const lt::sha1_hash& hash) {
    std::ostringstream text;
    text << hash;
    return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

class TorrentTest : public PackagerTest {
protected:
    Outcome PackageWithTrackers(const fs::path& from, const fs::path& to, const std::string& id) {
        return Packager({"package", "--from", from, "--to", to, "--id", id, "--out", m_out,
                         "--base-url", kBaseUrl, "--tracker", kTracker, kSecondTracker});
    }

    // The torrent beside the package; its info-hash.
    std::string ExpectTorrentDescribes(const UpdatePackage& package) {
        const std::string name = vesk::fs::NativePath(package.name);
        SCOPED_TRACE(name);
        const std::string bytes = vesk::test::ReadFileBytes(m_out / (name + ".torrent"));
        lt::error_code error;
        const lt::torrent_info info(bytes, error, lt::from_span);
        EXPECT_FALSE(error) << error.message();
        if (error) return {};
        EXPECT_EQ(info.num_files(), 1);
        EXPECT_EQ(info.files().file_path(lt::file_index_t(0)), name);
        EXPECT_EQ(info.total_size(), package.size);
        EXPECT_EQ(info.piece_length(),
                  vesk::packager::PieceSizeFor(static_cast<std::uint64_t>(package.size)));
        std::vector<std::string> trackers;
        for (const lt::announce_entry& tracker : info.trackers()) trackers.push_back(tracker.url);
        EXPECT_THAT(trackers, ::testing::ElementsAre(kTracker, kSecondTracker));
        std::vector<std::string> seeds;
        for (const lt::web_seed_entry& seed : info.web_seeds()) seeds.push_back(seed.url);
        EXPECT_THAT(seeds, ::testing::ElementsAre(std::string(kBaseUrl) + name));
        const std::string file = vesk::test::ReadFileBytes(m_out / name);
        for (lt::piece_index_t i(0); i < info.end_piece(); ++i) {
            const std::size_t at = static_cast<std::size_t>(static_cast<int>(i)) *
                                   static_cast<std::size_t>(info.piece_length());
            const std::string piece = file.substr(at, static_cast<std::size_t>(info.piece_size(i)));
            EXPECT_EQ(info.hash_for_piece(i), lt::hasher(piece.data(), int(piece.size())).final())
                << "piece " << static_cast<int>(i);
        }
        return HexOf(info.info_hashes().v1);
    }

    // The whitelist lists the info-hash of every package the manifest lists, and no other.
    void ExpectWhitelistMatchesManifest() {
        std::vector<std::string> hashes;
        for (const UpdatePackage& package : ReadManifest(m_out / "veskversion.xml"))
            hashes.push_back(ExpectTorrentDescribes(package));
        EXPECT_THAT(Lines(vesk::test::ReadFileBytes(m_out / "tracker-whitelist.txt")),
                    ::testing::UnorderedElementsAreArray(hashes));
    }
};

TEST_F(TorrentTest, EachPackageGetsItsTorrentAndTheWhitelistFollowsTheManifest) {
    // Many pieces, the last one short.
    Release large = kRelease2;
    large.push_back({"media/intro.bin", Engine() + Engine() + Engine() + "tail"});
    WriteRelease(m_temp / "r1", kRelease1);
    WriteRelease(m_temp / "r2", large);
    WriteRelease(m_temp / "r3", kRelease3);
    const Outcome first = PackageWithTrackers(m_temp / "r1", m_temp / "r2", "0002");
    ASSERT_EQ(first.code, 0) << first.err;
    EXPECT_THAT(first.out,
                ::testing::HasSubstr("wrote " + (m_out / "full-0002.zip.torrent").string()));
    ExpectWhitelistMatchesManifest();
    const std::string replaced = vesk::test::ReadFileBytes(m_out / "full-0002.zip.torrent");

    // The next release keeps the earlier update package trackable; the replaced full package
    // is no longer listed, so its hash leaves the whitelist.
    const Outcome second = PackageWithTrackers(m_temp / "r2", m_temp / "r3", "0003");
    ASSERT_EQ(second.code, 0) << second.err;
    ExpectWhitelistMatchesManifest();
    const std::string whitelist = vesk::test::ReadFileBytes(m_out / "tracker-whitelist.txt");
    EXPECT_EQ(Lines(whitelist).size(), 3u);
    lt::error_code error;
    const lt::torrent_info old(replaced, error, lt::from_span);
    EXPECT_THAT(whitelist, ::testing::Not(::testing::HasSubstr(HexOf(old.info_hashes().v1))));

    // A package listed without its torrent is said so, and left out.
    fs::remove(m_out / "patch-0002.zip.torrent");
    const Outcome again = PackageWithTrackers(m_temp / "r2", m_temp / "r3", "0003");
    ASSERT_EQ(again.code, 0) << again.err;
    EXPECT_THAT(again.err, ::testing::HasSubstr("patch-0002.zip.torrent"));
    EXPECT_EQ(Lines(vesk::test::ReadFileBytes(m_out / "tracker-whitelist.txt")).size(), 2u);
}

TEST_F(TorrentTest, WithoutATrackerNoTorrentOrWhitelistIsWritten) {
    WriteRelease(m_temp / "r1", kRelease1);
    WriteRelease(m_temp / "r2", kRelease2);
    ASSERT_EQ(Package(m_temp / "r1", m_temp / "r2", "0002", m_out).code, 0);
    for (const auto& entry : fs::directory_iterator(m_out)) {
        EXPECT_NE(entry.path().extension(), ".torrent") << entry.path();
        EXPECT_NE(entry.path().filename(), "tracker-whitelist.txt");
    }
}

TEST(PieceSizeTest, AboutTwoThousandPiecesWithinBounds) {
    constexpr std::uint64_t kKiB = 1024, kMiB = 1024 * kKiB;
    const struct {
        std::uint64_t packageSize;
        int pieceSize;
    } rows[] = {
        {1, 16 * kKiB},
        {2000 * 16 * kKiB, 16 * kKiB},
        {2000 * 16 * kKiB + 1, 32 * kKiB},
        {40 * kMiB, 32 * kKiB},
        {2000 * 2 * kMiB, 2 * kMiB},
        {2000 * 4 * kMiB + 1, 4 * kMiB},
        {std::uint64_t{1} << 40, 4 * kMiB},
    };
    for (const auto& row : rows)
        EXPECT_EQ(vesk::packager::PieceSizeFor(row.packageSize), row.pieceSize) << row.packageSize;
}

}  // namespace
