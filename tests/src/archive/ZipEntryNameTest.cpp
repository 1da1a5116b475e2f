#include <gtest/gtest.h>

#include "ZipEntryName.h"

namespace {

struct NameCase {
    const wchar_t* stored;
    const wchar_t* cleaned;
};

const NameCase kNames[] = {
    {L"plain.txt", L"plain.txt"},
    {L"C:\\Windows\\x.dll", L"Windows\\x.dll"},
    {L"/abs/y.txt", L"abs/y.txt"},
    {L"\\\\server\\share\\z.txt", L"server\\share\\z.txt"},
    {L"C:/D:\\e.txt", L"e.txt"},
    {L"data\\..\\evil.txt", L"evil.txt"},
    {L"data\\../evil.txt", L"evil.txt"},
    {L"data/../evil.txt", L"evil.txt"},
    {L"data/..\\evil.txt", L"evil.txt"},
    {L"a\\..\\b\\..\\c.txt", L"c.txt"},
    // The first "\..\" is dropped first, even behind a later "/../".
    {L"a/../b\\..\\c.txt", L"c.txt"},
    // Dropping one step can uncover a drive or separator, which goes in the next round.
    {L"x\\..\\C:\\y.txt", L"y.txt"},
    // Upward steps at the start are left for the extraction to refuse.
    {L"a\\..\\..\\b.txt", L"..\\b.txt"},
    {L"../up.txt", L"../up.txt"},
    {L"dir/..", L"dir/.."},
    {L"", L""},
};

TEST(ZipEntryName, CleanUpDropsDrivesSeparatorsAndUpwardSteps) {
    for (const NameCase& c : kNames) {
        EXPECT_EQ(CleanZipEntryName(c.stored), c.cleaned)
            << "stored: " << testing::PrintToString(std::wstring(c.stored));
    }
}

TEST(ZipEntryName, UpwardPartsAreFoundWithEitherSeparator) {
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"..\\b.txt", true}, {L"../b.txt", true}, {L"a/..", true},
        {L"a\\..\\b", true},  {L"a/..b/c", false}, {L"..a", false},
        {L"a/.../b", false},  {L"./a/b", false},   {L"", false},
    };
    for (const auto& [name, upwards] : cases) {
        EXPECT_EQ(ZipNameLeadsUpwards(name), upwards) << testing::PrintToString(std::wstring(name));
    }
}

}  // namespace
