#include <gtest/gtest.h>

#include <tinyxml.h>

#include <climits>

#include "DeepMarkup.h"
#include "SmallStack.h"
#include "TempDir.h"
#include "VersionManifest.h"
#include "VersionSettings.h"
#include "WithoutFileLocks.h"
#include "text/Utf.h"

namespace {

UpdatePackageList Chain(std::vector<std::pair<const wchar_t*, std::int32_t>> records) {
    UpdatePackageList list;
    for (const auto& [id, size] : records) list.push_back({.id = id, .size = size});
    return list;
}

struct SelectionCase {
    const char* what;
    const wchar_t* installed;
    UpdatePackageList packages;
    int index;
    std::int64_t total;
    std::vector<int> download;
};

const SelectionCase kSelections[] = {
    {"first run takes the latest alone",
     L"0000",
     Chain({{L"1.1", 10}, {L"1.2", 20}, {L"1.3", 30}, {L"1.3", 100}}),
     3,
     100,
     {3}},
    {"empty version is a first run",
     L"",
     Chain({{L"1.1", 10}, {L"1.2", 20}, {L"1.3", 30}, {L"1.3", 100}}),
     3,
     100,
     {3}},
    {"chain smaller than the latest",
     L"1.2",
     Chain({{L"1.1", 10}, {L"1.2", 20}, {L"1.3", 30}, {L"1.3", 100}}),
     2,
     30,
     {2}},
    {"chain larger than the latest",
     L"1.2",
     Chain({{L"1.1", 10}, {L"1.2", 20}, {L"1.3", 30}, {L"1.3", 25}}),
     3,
     25,
     {3}},
    {"equal sizes keep the chain",
     L"1.2",
     Chain({{L"1.1", 10}, {L"1.2", 20}, {L"1.3", 30}, {L"1.3", 30}}),
     2,
     30,
     {2}},
    {"version current",
     L"1.3",
     Chain({{L"1.1", 10}, {L"1.2", 20}, {L"1.3", 30}, {L"1.3", 100}}),
     4,
     0,
     {}},
    {"older than every package",
     L"1.0",
     Chain({{L"1.1", 10}, {L"1.2", 20}, {L"1.3", 30}, {L"1.3", 100}}),
     0,
     60,
     {0, 1, 2}},
    {"capitals fold", L"ABC", Chain({{L"abc", 10}, {L"abc", 5}}), 2, 0, {}},
    {"chain beyond 32 bits never wraps to small",
     L"1.0",
     Chain({{L"1.1", INT_MAX}, {L"1.2", INT_MAX}, {L"1.3", 10}, {L"1.3", 1000}}),
     3,
     1000,
     {3}},
    {"chain between 2 and 4 GiB compares unsigned",
     L"1.0",
     Chain({{L"1.1", INT_MAX}, {L"1.2", 5}, {L"1.3", INT_MAX}}),
     2,
     INT_MAX,
     {2}},
};

TEST(SelectPackages, ChoosesTheChainOrTheLatestPackage) {
    for (const auto& c : kSelections) {
        const PackageSelection s = SelectPackages(c.installed, c.packages);
        EXPECT_EQ(s.currentIndex, c.index) << c.what;
        EXPECT_EQ(s.totalBytes, c.total) << c.what;
        EXPECT_EQ(PackagesToDownload(s, c.packages), c.download) << c.what;
    }
}

TEST(CompareVersions, IsTextualWithAsciiCapitalsFolded) {
    struct Row {
        const wchar_t* a;
        const wchar_t* b;
        int sign;
    };
    const Row rows[] = {
        {L"ABC", L"abc", 0},    {L"1.10", L"1.9", -1}, {L"2", L"10", 1},
        {L"1.2", L"1.2.1", -1}, {L"", L"", 0},         {L"\u00C4", L"\u00E4", -1},
        {L"0000", L"0000", 0},  {L"Z", L"a", 1},
    };
    for (const auto& r : rows) {
        const int got = CompareVersions(r.a, r.b);
        EXPECT_EQ((got > 0) - (got < 0), r.sign)
            << std::filesystem::path(r.a) << " vs " << std::filesystem::path(r.b);
    }
}

TEST(ParseManifest, ListsUpdatePackagesInOrderThenTheLatest) {
    const char* xml = R"(<?xml version="1.0"?>
<root>
  <updatepackage id="1.1" name="p11.zip" url="http://h/p11.zip" md5="aa" build_version="b1" filecount="3" size="10"><child/></updatepackage>
  <other id="9.9"/>
  <latestpackage id="1.3" name="full.zip" url="http://h/full.zip" md5="cc" build_version="b3" filecount="70" size="100"/>
  <updatepackage id="1.2" name="p12.zip" size="20"/>
</root>)";
    UpdatePackageList list;
    ASSERT_TRUE(ParseManifestText(xml, list));
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].id, L"1.1");
    EXPECT_EQ(list[0].name, L"p11.zip");
    EXPECT_EQ(list[0].url, L"http://h/p11.zip");
    EXPECT_EQ(list[0].md5, "aa");
    EXPECT_EQ(list[0].buildVersion, L"b1");
    EXPECT_EQ(list[0].fileCount, 3);
    EXPECT_EQ(list[0].size, 10);
    EXPECT_EQ(list[1].id, L"1.2");
    EXPECT_EQ(list[1].url, L"");      // absent text attribute
    EXPECT_EQ(list[1].fileCount, 0);  // absent number
    EXPECT_EQ(list[2].id, L"1.3");
    EXPECT_EQ(list[2].size, 100);
}

TEST(ParseManifest, RejectsManifestsLackingAPart) {
    const char* bad[] = {
        "",
        "not xml at all",
        "<other><latestpackage/><updatepackage/></other>",
        "<root><updatepackage id='1'/></root>",
        "<root><latestpackage id='1'/></root>",
        "<root><latestpackage id='1'/><group><updatepackage/></group></root>",
        "<root><latestpackage id='1'/><updatepackage id='1'>",
    };
    for (const char* xml : bad) {
        UpdatePackageList list = Chain({{L"keep", 1}});
        EXPECT_FALSE(ParseManifestText(xml, list)) << xml;
        EXPECT_EQ(list.size(), 1u) << xml;
    }
}

TEST(ParseManifest, NonNumericSizesReadAsZero) {
    UpdatePackageList list;
    ASSERT_TRUE(ParseManifestText(
        "<root><latestpackage size='big' filecount=''/><updatepackage size='-'/></root>", list));
    EXPECT_EQ(list[0].size, 0);
    EXPECT_EQ(list[1].size, 0);
    EXPECT_EQ(list[1].fileCount, 0);
}

using vesk::test::Repeat;

const std::string kManifestHead =
    "<root><latestpackage id='2' name='full.zip'/><updatepackage id='1' name='p1.zip'/>";

TEST(ParseManifest, RefusesDeepNestingWhateverItsDisguise) {
    const auto deep = vesk::test::DeepMarkupDisguises();
    for (const auto& [lead, tail] : deep) {
        const std::string xml = lead + kManifestHead + tail + "</root>";
        UpdatePackageList list = Chain({{L"keep", 1}});
        EXPECT_FALSE(vesk::test::OnSmallStack([&] { return ParseManifestText(xml, list); }))
            << tail.substr(0, 30);
        EXPECT_EQ(list.size(), 1u);
    }

    vesk::test::TempDir dir;
    vesk::test::WriteFileBytes(dir / "m.xml", "<?>" + kManifestHead + Repeat("<a>", 100000));
    UpdatePackageList list;
    EXPECT_FALSE(
        vesk::test::OnSmallStack([&] { return ParseManifest(dir.wide() + L"m.xml", list); }));
}

TEST(ParseManifest, NestingUpToSixtyFourLevelsIsRead) {
    // root is the first level
    const auto nested = [](int levels) {
        return kManifestHead + Repeat("<x>", levels - 1) + Repeat("</x>", levels - 1) + "</root>";
    };
    UpdatePackageList list;
    EXPECT_TRUE(ParseManifestText(nested(64), list));
    EXPECT_EQ(list.size(), 2u);
    EXPECT_FALSE(ParseManifestText(nested(65), list));
}

// The parser linked into this program keeps its own bound, even for text no quick look saw.
TEST(ParseManifest, TheLinkedParserStopsAtItsLimitOnItsOwn) {
    const std::string deep = Repeat("<a>", 100000);
    EXPECT_TRUE(vesk::test::OnSmallStack([&] {
        TiXmlDocument document;
        document.Parse(deep.c_str(), nullptr, TIXML_ENCODING_UNKNOWN);
        return document.Error();
    }));
}

TEST(ParseManifest, ReadsTheFileAndFailsWithoutOne) {
    vesk::test::TempDir dir;
    vesk::test::WriteFileBytes(dir / "m.xml",
                               "<root><latestpackage id='2' name='full.zip'/>"
                               "<updatepackage id='1' name='p1.zip'/></root>");
    UpdatePackageList list;
    EXPECT_TRUE(ParseManifest(dir.wide() + L"m.xml", list));
    EXPECT_EQ(list.size(), 2u);
    EXPECT_FALSE(ParseManifest(dir.wide() + L"absent.xml", list));
}

// Every id is compared with the installed one and the latest is recorded: one that version.ini
// would give back cut makes the manifest unreadable, and the reason names it.
TEST(ParseManifest, AnIdLongerThanTheInstallationKeepsIsRefused) {
    const std::wstring longest(kMaxVersionIdChars, L'9');
    struct Row {
        std::wstring latest;
        std::wstring update;
        const wchar_t* refusal;
    };
    const Row rows[] = {
        {L"release-2024-01", L"release-2024-00", L""},
        {longest, L"1", L""},
        {L"release-2024-0002", L"1",
         L"the id release-2024-0002 of package full.zip is longer than 15 characters"},
        {L"2", L"release-2024-0001",
         L"the id release-2024-0001 of package p1.zip is longer than 15 characters"},
        {longest + L"9", L"1", nullptr},
    };
    vesk::test::TempDir dir;
    for (const Row& row : rows) {
        const std::string latest = vesk::text::WideToUtf8(row.latest);
        SCOPED_TRACE(latest);
        vesk::test::WriteFileBytes(dir / "m.xml",
                                   "<?xml version='1.0' encoding='UTF-8'?><root>"
                                   "<latestpackage id='" +
                                       latest +
                                       "' name='full.zip'/>"
                                       "<updatepackage id='" +
                                       vesk::text::WideToUtf8(row.update) +
                                       "' name='p1.zip'/></root>");
        UpdatePackageList list;
        std::wstring refusal;
        const bool accepted = row.refusal && !*row.refusal;
        EXPECT_EQ(ParseManifest(dir.wide() + L"m.xml", list, &refusal), accepted);
        if (row.refusal) {
            EXPECT_EQ(refusal, row.refusal);
        } else {
            EXPECT_NE(refusal, L"");
        }
        if (accepted) {
            // What is recorded reads back whole.
            ASSERT_TRUE(WriteInstalledVersion(dir.wide(), list.back().id));
            EXPECT_EQ(ReadVersionSettings(dir.wide()).installedVersion, row.latest);
        }
    }
}

TEST(ParseManifest, ReadsTheFileWhereFilesCannotBeLocked) {
    vesk::test::TempDir dir;
    vesk::test::WriteFileBytes(dir / "m.xml",
                               "<root><latestpackage id='2' name='full.zip'/>"
                               "<updatepackage id='1' name='p1.zip'/></root>");
    UpdatePackageList list;
    bool parsed = false;
    if (!vesk::test::RunWithoutFileLocks(
            [&] { parsed = ParseManifest(dir.wide() + L"m.xml", list); }))
        GTEST_SKIP() << "no system call filter here";
    EXPECT_TRUE(parsed);
    EXPECT_EQ(list.size(), 2u);
}

}  // namespace
