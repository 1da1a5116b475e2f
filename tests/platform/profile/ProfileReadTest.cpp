#include <gtest/gtest.h>

#include <filesystem>

#include "TempDir.h"
#include "profile/ProfileFile.h"
#include "text/Utf.h"

using namespace vesk;

namespace {

std::wstring Wide(const std::filesystem::path& path) {
    return text::Utf8ToWide(path.string());
}

const char kSettings[] =
    "; leading comment\r\n"
    "orphan=before any section\r\n"
    "  [ General ]  trailing words\r\n"
    "Name = Vesk Client  \r\n"
    "Quoted=\"  spaced  \"\r\n"
    "Single='x'\r\n"
    "Half=\"open\r\n"
    "Empty=\r\n"
    "Number=  -12abc\r\n"
    "NotANumber=x\r\n"
    "junk line without equals\r\n"
    "\x01\x02\xff\xfe binary\r\n"
    "; Commented=1\r\n"
    "DUP=first\r\n"
    "dup=second\r\n"
    "[general]\r\n"
    "Late=never read\r\n"
    "[Gr\xC3\xB6\xC3\x9F"
    "e]\r\n"
    "\xC3\x84rger=umlaut\r\n"
    "[Other]\r\n"
    "Name=other";

struct ReadRow {
    std::wstring_view section;
    std::wstring_view key;
    std::size_t bufferChars;
    std::wstring_view expected;
};

const ReadRow kReadRows[] = {
    {L"General", L"Name", 0, L"Vesk Client"},
    {L"GENERAL", L"name", 0, L"Vesk Client"},
    {L" general\t", L" NAME ", 0, L"Vesk Client"},
    {L"General", L"Quoted", 0, L"  spaced  "},
    {L"General", L"Single", 0, L"x"},
    {L"General", L"Half", 0, L"\"open"},
    {L"General", L"Empty", 0, L""},
    {L"General", L"Missing", 0, L"default"},
    {L"Missing", L"Name", 0, L"default"},
    {L"", L"orphan", 0, L"default"},
    {L"General", L"orphan", 0, L"default"},
    {L"General", L"junk line without equals", 0, L"default"},
    {L"General", L"Commented", 0, L"default"},
    {L"General", L"; Commented", 0, L"default"},
    {L"General", L"dup", 0, L"first"},
    {L"General", L"Late", 0, L"default"},
    {L"GR\u00D6\u00DFE", L"\u00E4rger", 0, L"umlaut"},
    {L"Other", L"Name", 0, L"other"},
    {L"General", L"Name", 5, L"Vesk"},
    {L"General", L"Name", 1, L""},
    {L"General", L"Missing", 4, L"def"},
};

TEST(ProfileRead, FindsValuesAsTheWindowsCallsDo) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "Config.ini", kSettings);
    const std::wstring path = Wide(dir / "Config.ini");
    for (const ReadRow& row : kReadRows) {
        SCOPED_TRACE(testing::PrintToString(row.section) + " " + testing::PrintToString(row.key));
        EXPECT_EQ(profile::ReadString(path, row.section, row.key, L"default", row.bufferChars),
                  row.expected);
    }
}

struct IntRow {
    std::wstring_view key;
    int expected;
};

const IntRow kIntRows[] = {
    {L"Number", -12},  // digits up to the first other character
    {L"Empty", 7},     // an empty value gives the default
    {L"NotANumber", 0}, {L"Missing", 7}, {L"Name", 0},
};

TEST(ProfileRead, ReadIntParsesOrFallsBack) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "Config.ini", kSettings);
    for (const IntRow& row : kIntRows) {
        EXPECT_EQ(profile::ReadInt(Wide(dir / "Config.ini"), L"General", row.key, 7), row.expected)
            << testing::PrintToString(row.key);
    }
}

TEST(ProfileRead, WhatCannotBeReadGivesDefaults) {
    test::TempDir dir;
    std::filesystem::create_directory(dir / "folder.ini");
    for (const char* name : {"absent.ini", "folder.ini"}) {
        EXPECT_EQ(profile::ReadString(Wide(dir / name), L"A", L"k", L"dflt"), L"dflt");
        EXPECT_EQ(profile::ReadInt(Wide(dir / name), L"A", L"k", -4), -4);
    }
    EXPECT_EQ(profile::ReadString(L"", L"A", L"k", L"dflt"), L"dflt");
}

TEST(ProfileRead, ByteOrderMarkAndBareLineFeeds) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "bom.ini", "\xEF\xBB\xBF[S]\nk=v\nn=5");
    EXPECT_EQ(profile::ReadString(Wide(dir / "bom.ini"), L"s", L"K", L""), L"v");
    EXPECT_EQ(profile::ReadInt(Wide(dir / "bom.ini"), L"S", L"n", 0), 5);
}

}  // namespace
