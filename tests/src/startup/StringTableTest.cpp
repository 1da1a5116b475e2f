#include <gtest/gtest.h>

#include "StringTable.h"
#include "TempDir.h"
#include "WithoutFileLocks.h"
#include "fs/Files.h"
#include "fs/Paths.h"
#include "text/Utf.h"

namespace {

std::string TableBytes(std::u16string_view text) {
    return vesk::text::UnitsToUtf16LeBytes(text);
}

struct LookupCase {
    const char* what;
    std::u16string file;
    int column;
    const wchar_t* key;
    const wchar_t* expected;
};

const LookupCase kLookups[] = {
    {"English column", u"H\r\nIDS_A,g,1,0,0,en,de,fr\r\n", 0, L"IDS_A", L"en"},
    {"German column", u"H\r\nIDS_A,g,1,0,0,en,de,fr\r\n", 1, L"IDS_A", L"de"},
    {"French column, last on its line", u"H\r\nIDS_A,g,1,0,0,en,de,fr\r\n", 2, L"IDS_A", L"fr"},
    {"column below 0 reads English", u"H\r\nIDS_A,g,1,0,0,en,de,fr\r\n", -1, L"IDS_A", L"en"},
    {"quoted text keeps its comma", u"H\r\nIDS_A,g,1,0,0,\"a, b\",de\r\n", 0, L"IDS_A", L"a, b"},
    {"quoted column skipped to reach the next", u"H\r\nIDS_A,g,1,0,0,\"a, b\",\"c, d\",fr\r\n", 2,
     L"IDS_A", L"fr"},
    {"next column starts two after the quote", u"H\r\nIDS_A,g,1,0,0,\"en\"Xde\r\n", 1, L"IDS_A",
     L"de"},
    {"later duplicate wins", u"H\r\nIDS_A,g,1,0,0,first\r\nIDS_A,g,1,0,0,second\r\n", 0, L"IDS_A",
     L"second"},
    {"header never an entry", u"IDS_H,g,1,0,0,header\r\nIDS_A,g,1,0,0,en\r\n", 0, L"IDS_H", L""},
    {"text after the last LF ignored", u"H\r\nIDS_A,g,1,0,0,en\r\nIDS_B,g,1,0,0,tail\r", 0,
     L"IDS_B", L""},
    {"LF alone loses the last real character", u"H\nIDS_A,g,1,0,0,english\n", 0, L"IDS_A",
     L"englis"},
    {"keys are case-sensitive", u"H\r\nIDS_A,g,1,0,0,en\r\n", 0, L"ids_a", L""},
    {"absent key is empty", u"H\r\nIDS_A,g,1,0,0,en\r\n", 0, L"IDS_B", L""},
    {"line without the language's column skipped", u"H\r\nIDS_A,g,1,0,0,en\r\n", 1, L"IDS_A", L""},
    {"empty English text", u"H\r\nIDS_A,g,1,0,0,,de\r\n", 0, L"IDS_A", L""},
    {"empty lines and short lines skipped", u"H\r\n\r\n\n,\r\nIDS_X\r\nIDS_A,g,1,0,0,en\r\n", 0,
     L"IDS_A", L"en"},
    {"byte-order mark belongs to the header", u"\xFEFFH\r\nIDS_A,g,1,0,0,en\r\n", 0, L"IDS_A",
     L"en"},
    {"surrogate pair joined", u"H\r\nIDS_A,g,1,0,0,\xD83D\xDE00\r\n", 0, L"IDS_A", L"\U0001F600"},
    {"lone surrogate replaced",
     u"H\r\nIDS_A,g,1,0,0,a\xD800"
     u"b\r\n",
     0, L"IDS_A",
     L"a\xFFFD"
     L"b"},
    {"no line feed at all", u"IDS_A,g,1,0,0,en", 0, L"IDS_A", L""},
};

TEST(StringTable, LooksUpTheSelectedColumn) {
    for (const auto& c : kLookups) {
        CStringTable table;
        table.Parse(TableBytes(c.file), c.column);
        EXPECT_EQ(table.GetString(c.key), c.expected) << c.what;
    }
}

TEST(StringTable, OddByteCountIgnoresTheLastByte) {
    CStringTable table;
    table.Parse(TableBytes(u"H\r\nIDS_A,g,1,0,0,en\r\n") + "\x41", 0);
    EXPECT_EQ(table.GetString(L"IDS_A"), L"en");
    EXPECT_EQ(table.Size(), 1u);
}

TEST(StringTable, LoadsAFileAndCreatesAnAbsentOneEmpty) {
    vesk::test::TempDir dir;
    vesk::test::WriteFileBytes(dir / "table.dat", TableBytes(u"H\r\nIDS_A,g,1,0,0,en,de\r\n"));
    CStringTable table;
    ASSERT_TRUE(table.Load(dir.wide() + L"table.dat", 1));
    EXPECT_EQ(table.GetString(L"IDS_A"), L"de");

    CStringTable empty;
    EXPECT_TRUE(empty.Load(dir.wide() + L"absent.dat", 0));
    EXPECT_EQ(empty.Size(), 0u);
    EXPECT_TRUE(std::filesystem::exists(dir / "absent.dat"));
    EXPECT_EQ(std::filesystem::file_size(dir / "absent.dat"), 0u);
}

TEST(StringTable, RefusesAFileHeldByAnotherProgramWithoutWaiting) {
    vesk::test::TempDir dir;
    vesk::test::WriteFileBytes(dir / "table.dat", TableBytes(u"H\r\nIDS_A,g,1,0,0,en\r\n"));
    vesk::fs::ExclusiveFile holder;
    ASSERT_EQ(
        vesk::fs::ExclusiveFile::Open(dir.wide() + L"table.dat",
                                      vesk::fs::ExclusiveFile::Access::ReadWrite, false, holder),
        vesk::fs::ExclusiveFile::Result::Ok);
    CStringTable table;
    EXPECT_FALSE(table.Load(dir.wide() + L"table.dat", 0));
    holder.Close();

    // A reader holding it keeps it from us too.
    ASSERT_EQ(vesk::fs::ExclusiveFile::Open(dir.wide() + L"table.dat",
                                            vesk::fs::ExclusiveFile::Access::Read, false, holder),
              vesk::fs::ExclusiveFile::Result::Ok);
    EXPECT_FALSE(table.Load(dir.wide() + L"table.dat", 0));
    EXPECT_FALSE(table.Load(L"", 0));
}

// Not held by anybody, just not there to be read: the same failure as any other open.
TEST(StringTable, PlaceThatCannotHoldTheFileFails) {
    vesk::test::TempDir dir;
    std::filesystem::create_directory(dir / "folder.dat");
    vesk::test::WriteFileBytes(dir / "file", "x");
    for (const wchar_t* name : {L"folder.dat", L"file/table.dat", L"missing/table.dat"}) {
        CStringTable table;
        EXPECT_FALSE(table.Load(dir.wide() + name, 0)) << testing::PrintToString(name);
    }
}

TEST(StringTable, LoadsWhereFilesCannotBeLocked) {
    vesk::test::TempDir dir;
    vesk::test::WriteFileBytes(dir / "table.dat", TableBytes(u"H\r\nIDS_A,g,1,0,0,en\r\n"));
    CStringTable table;
    bool loaded = false;
    if (!vesk::test::RunWithoutFileLocks(
            [&] { loaded = table.Load(dir.wide() + L"table.dat", 0); }))
        GTEST_SKIP() << "no system call filter here";
    EXPECT_TRUE(loaded);
    EXPECT_EQ(table.GetString(L"IDS_A"), L"en");
}

TEST(StringTable, LoadsFromAFolderWhoseNameIsNotUtf8) {
    vesk::test::TempDir dir;
    const std::string folder = (dir / "\xFF\xC3-\xED\xA0\x80").string();
    vesk::test::WriteFileBytes(folder + "/table.dat", TableBytes(u"H\r\nIDS_A,g,1,0,0,en,de\r\n"));
    CStringTable table;
    ASSERT_TRUE(table.Load(vesk::fs::WidePath(folder + "/table.dat"), 1));
    EXPECT_EQ(table.GetString(L"IDS_A"), L"de");
}

}  // namespace
