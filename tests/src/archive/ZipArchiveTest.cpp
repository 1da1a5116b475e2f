// Opening, closing, entry descriptions and result messages of the archive reader.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <string>

#include "CloseOnExecOnly.h"
#include "TempDir.h"
#include "TestZip.h"
#include "ZipArchive.h"

namespace {

using vesk::test::DosDate;
using vesk::test::DosTime;
using vesk::test::ExtendedTimestamp;
using vesk::test::TempDir;
using vesk::test::TestZipEntry;
using vesk::test::UnixEntry;
using vesk::test::WriteZip;

constexpr ZipFileTime kTicksPerSecond = 10000000;
constexpr ZipFileTime kUnixEpochTicks = 116444736000000000;

ZipFileTime FromUnix(std::uint64_t seconds) {
    return kUnixEpochTicks + seconds * kTicksPerSecond;
}

std::wstring LastMessage() {
    wchar_t text[128];
    FormatZipResult(kZipLastResult, text, 128);
    return text;
}

// Runs a test body in a fixed time zone and puts the old one back.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = getenv("TZ")) m_old = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (m_old.empty())
            unsetenv("TZ");
        else
            setenv("TZ", m_old.c_str(), 1);
        tzset();
    }

private:
    std::string m_old;
};

class ZipArchiveTest : public testing::Test {
protected:
    ZipHandle* Open(const std::vector<TestZipEntry>& entries) {
        WriteZip(m_dir / "p.zip", entries);
        return OpenZipFile((m_dir.wide() + L"p.zip").c_str(), nullptr);
    }
    ZipEntry Describe(const TestZipEntry& stored) {
        ZipHandle* zip = Open({stored});
        ZipEntry entry;
        EXPECT_EQ(GetZipEntry(zip, 0, &entry), kZipSuccess);
        CloseZipFile(zip);
        return entry;
    }

    TempDir m_dir;
};

TEST_F(ZipArchiveTest, WhatIsNoArchiveGivesNoHandle) {
    vesk::test::WriteFileBytes(m_dir / "text.zip", "this is not an archive at all, just text");
    for (const char* name : {"text.zip", "absent.zip"}) {
        EXPECT_EQ(
            OpenZipFile((m_dir.wide() + std::filesystem::path(name).wstring()).c_str(), nullptr),
            nullptr);
        EXPECT_EQ(LastMessage(), L"Couldn't create/open file") << name;
    }
}

TEST_F(ZipArchiveTest, EveryCallWithoutHandleIsFaulty) {
    ZipEntry entry;
    EXPECT_EQ(SetZipBaseFolder(nullptr, L"/tmp/"), kZipBadArguments);
    EXPECT_EQ(GetZipEntry(nullptr, -1, &entry), kZipBadArguments);
    EXPECT_EQ(UnzipEntryToFile(nullptr, 0, L"x"), kZipBadArguments);
    EXPECT_EQ(CloseZipFile(nullptr), kZipBadArguments);
    EXPECT_EQ(LastMessage(), L"Caller: faulty arguments");
}

TEST_F(ZipArchiveTest, EmptyArchiveHasNoEntries) {
    ZipHandle* zip = Open({});
    ASSERT_NE(zip, nullptr);
    ZipEntry entry;
    entry.name = L"stale";
    EXPECT_EQ(GetZipEntry(zip, -1, &entry), kZipSuccess);
    EXPECT_EQ(entry.index, 0);
    EXPECT_EQ(entry.name, L"");
    EXPECT_EQ(GetZipEntry(zip, 0, &entry), kZipBadArguments);
    EXPECT_EQ(CloseZipFile(zip), kZipSuccess);
}

// A program started by another thread while a package is read must inherit none of it.
TEST_F(ZipArchiveTest, ArchivesAreReadThroughCloseOnExecDescriptors) {
    WriteZip(m_dir / "empty.zip", {});
    WriteZip(m_dir / "p.zip", {{"a.txt", "a"}});
    const auto run = vesk::test::RunWithCloseOnExecOnly([&] {
        ZipHandle* empty = OpenZipFile((m_dir.wide() + L"empty.zip").c_str(), nullptr);
        ZipHandle* zip = OpenZipFile((m_dir.wide() + L"p.zip").c_str(), nullptr);
        const bool read = empty && zip &&
                          SetZipBaseFolder(zip, m_dir.wide().c_str()) == kZipSuccess &&
                          UnzipEntryToFile(zip, 0, L"a.txt") == kZipSuccess;
        CloseZipFile(empty);
        CloseZipFile(zip);
        return read;
    });
    if (run == vesk::test::CloseOnExecOnlyRun::Unavailable) GTEST_SKIP() << "no seccomp filter";
    EXPECT_EQ(run, vesk::test::CloseOnExecOnlyRun::Succeeded);
    EXPECT_EQ(vesk::test::ReadFileBytes(m_dir / "a.txt"), "a");
}

TEST_F(ZipArchiveTest, IndexBounds) {
    ZipHandle* zip = Open({{"a.txt", "a"}, {"b.txt", "b"}});
    ASSERT_NE(zip, nullptr);
    ZipEntry entry;
    EXPECT_EQ(GetZipEntry(zip, -1, &entry), kZipSuccess);
    EXPECT_EQ(entry.index, 2);
    EXPECT_EQ(GetZipEntry(zip, -2, &entry), kZipBadArguments);
    EXPECT_EQ(GetZipEntry(zip, 2, &entry), kZipBadArguments);
    EXPECT_EQ(GetZipEntry(zip, 0, nullptr), kZipBadArguments);
    // Backwards after forwards: the reader starts over.
    EXPECT_EQ(GetZipEntry(zip, 1, &entry), kZipSuccess);
    EXPECT_EQ(entry.name, L"b.txt");
    EXPECT_EQ(GetZipEntry(zip, 0, &entry), kZipSuccess);
    EXPECT_EQ(entry.name, L"a.txt");
    EXPECT_EQ(entry.index, 0);
    // Past the last entry, extraction does nothing and succeeds.
    EXPECT_EQ(SetZipBaseFolder(zip, m_dir.wide().c_str()), kZipSuccess);
    EXPECT_EQ(UnzipEntryToFile(zip, 2, L"c.txt"), kZipSuccess);
    EXPECT_FALSE(std::filesystem::exists(m_dir / "c.txt"));
    CloseZipFile(zip);
}

TEST_F(ZipArchiveTest, AttributesFromTheHostSystem) {
    struct Case {
        const char* what;
        TestZipEntry stored;
        std::uint32_t attributes;
    };
    TestZipEntry dos{"d", "x"};
    dos.externalAttributes = 0x27 | 0x100;  // read-only, hidden, system, archive; stray bit
    TestZipEntry vfat = UnixEntry("v", "x", 0);
    vfat.versionMadeBy = (14 << 8) | 20;
    vfat.externalAttributes = 0x12;
    const Case cases[] = {
        {"DOS bits kept", dos, 0x27},
        {"host 14 holds DOS bits", vfat, 0x12},
        {"Unix writable", UnixEntry("u", "x", 0100644), kZipAttributeArchive},
        {"Unix without owner write", UnixEntry("r", "x", 0100466),
         kZipAttributeArchive | kZipAttributeReadOnly},
        {"Unix folder", UnixEntry("f/", "", 040755), kZipAttributeArchive | kZipAttributeDirectory},
    };
    for (const Case& c : cases) EXPECT_EQ(Describe(c.stored).attributes, c.attributes) << c.what;
}

TEST_F(ZipArchiveTest, DosTimeIsLocalTimeTurnedToUtc) {
    ScopedTimeZone zone("XST-2");  // two hours east of UTC, no daylight saving
    TestZipEntry stored{"t.txt", "x"};
    stored.dosDate = DosDate(2020, 1, 2);
    stored.dosTime = DosTime(10, 0, 4);
    const ZipEntry entry = Describe(stored);
    const ZipFileTime expected = FromUnix(1577959204 - 2 * 3600);  // 2020-01-02 08:00:04 UTC
    EXPECT_EQ(entry.modificationTime, expected);
    EXPECT_EQ(entry.accessTime, expected);
    EXPECT_EQ(entry.creationTime, expected);
}

TEST_F(ZipArchiveTest, ExtendedTimestampGivesExactTimes) {
    TestZipEntry stored{"t.txt", "x"};
    // Another block first; the walk skips it by its size. Only the first "UT" block counts.
    stored.localExtra = std::string("\x75\x78\x03\x00\x01\x02\x03", 7) +
                        ExtendedTimestamp(7, {1600000001, 1600000003, 1500000000}) +
                        ExtendedTimestamp(1, {1});
    ZipEntry entry = Describe(stored);
    EXPECT_EQ(entry.modificationTime, FromUnix(1600000001));
    EXPECT_EQ(entry.accessTime, FromUnix(1600000003));
    EXPECT_EQ(entry.creationTime, FromUnix(1500000000));

    // Only access named: the others keep the DOS time.
    stored.localExtra = ExtendedTimestamp(2, {1600000003});
    entry = Describe(stored);
    EXPECT_EQ(entry.accessTime, FromUnix(1600000003));
    EXPECT_NE(entry.modificationTime, FromUnix(1600000003));
    EXPECT_EQ(entry.modificationTime, entry.creationTime);

    // A block cut short sets what it holds, and a block claiming too much is no block.
    stored.localExtra = ExtendedTimestamp(3, {1600000001}).substr(0, 9);
    EXPECT_EQ(Describe(stored).modificationTime, FromUnix(1600000001));
    stored.localExtra = std::string("\x55\x54\x09\x00\x01\x01\x00\x00\x00", 9);
    EXPECT_NE(Describe(stored).modificationTime, FromUnix(1));
}

TEST_F(ZipArchiveTest, SizesAndCleanedName) {
    TestZipEntry stored{"C:\\dir\\..\\n.txt", std::string(1000, 'a')};
    const ZipEntry entry = Describe(stored);
    EXPECT_EQ(entry.name, L"n.txt");
    EXPECT_EQ(entry.uncompressedSize, 1000u);
    EXPECT_LT(entry.compressedSize, 100u);
}

TEST(ZipResultText, FixedMessages) {
    const std::pair<ZipResult, const wchar_t*> cases[] = {
        {0, L"Success"},
        {0x100, L"Culdn't duplicate handle"},
        {0x700, L"Zipfile is corrupt or not a zipfile"},
        {0x10000, L"Caller: faulty arguments"},
        {0x80000, L"Caller: mixing creation and opening of zip"},
        {0x5000000, L"Zip-bug: an internal error during flation"},
        {0x42, L"unknown zip result code"},
    };
    for (const auto& [code, message] : cases) {
        wchar_t text[80];
        EXPECT_EQ(FormatZipResult(code, text, 80), std::wcslen(message));
        EXPECT_STREQ(text, message);
    }
}

TEST(ZipResultText, CutToFitWithTerminator) {
    wchar_t text[8] = L"xxxxxxx";
    EXPECT_EQ(FormatZipResult(0x200, text, 5), 25u);
    EXPECT_STREQ(text, L"Coul");
    EXPECT_EQ(FormatZipResult(0x200, nullptr, 0), 25u);
    EXPECT_EQ(FormatZipResult(0x200, text, 0), 25u);
    EXPECT_STREQ(text, L"Coul");
}

}  // namespace
