#include <gtest/gtest.h>

#include "registry/HiveText.h"
#include "text/Utf.h"

namespace {

using vesk::registry::Hive;
using vesk::registry::NormalKeyPath;
using vesk::registry::ParseHive;
using vesk::registry::RenderHive;

TEST(HiveTextTest, ValuesSurviveARoundTripWhateverTheyHold) {
    const std::wstring awkward[] = {L"", L"plain", L"C:\\Program Files\\TSP\\", L"say \"hi\"",
                                    L"two\nlines\r\n", L"Grüße ✓", L"]=[\"", L"\\\\\\",
                                    // a folder whose name is not UTF-8, as the file system has it
                                    vesk::text::NativeBytesToWide("/opt/\xFF\xC3/TSP/")};
    Hive hive;
    auto& key = hive.Create(L"Software\\Tirsa Networks\\TSP");
    for (std::size_t i = 0; i < std::size(awkward); ++i)
        key.values.emplace_back(L"v" + std::to_wstring(i) + awkward[i], awkward[i]);

    const Hive back = ParseHive(RenderHive(hive));
    const auto* read = back.Find(L"software\\tirsa networks\\tsp");
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->values, key.values);
}

TEST(HiveTextTest, CreatingAKeyCreatesEveryLevelAboveIt) {
    Hive hive;
    hive.Create(L"A\\B\\C");
    ASSERT_EQ(hive.keys.size(), 3u);
    EXPECT_NE(hive.Find(L"a"), nullptr);
    EXPECT_NE(hive.Find(L"A\\b"), nullptr);
    EXPECT_EQ(hive.Find(L"A\\B\\C\\D"), nullptr);
    hive.Create(L"a\\b\\D");
    EXPECT_EQ(hive.keys.size(), 4u);

    EXPECT_TRUE(hive.Remove(L"A\\B"));
    EXPECT_EQ(hive.keys.size(), 1u);
    EXPECT_NE(hive.Find(L"A"), nullptr);
    EXPECT_FALSE(hive.Remove(L"A\\B"));
}

TEST(HiveTextTest, KeyPathsIgnoreStrayAndDoubledSeparators) {
    const std::pair<const wchar_t*, const wchar_t*> rows[] = {
        {L"A\\B", L"A\\B"}, {L"\\A\\B\\", L"A\\B"}, {L"A\\\\B", L"A\\B"}, {L"\\", L""}, {L"", L""}};
    for (const auto& [path, normal] : rows) EXPECT_EQ(NormalKeyPath(path), normal) << path;
}

TEST(HiveTextTest, DamagedLinesCostOnlyThemselves) {
    const Hive hive = ParseHive(
        "\"orphan\"=\"before any key\"\n"
        "[K]\r\n"
        "\"good\"=\"1\"\r\n"
        "\"unterminated=\"2\n"
        "garbage\n"
        "\"trailing\"=\"3\" extra\n"
        "\"also good\"=\"4\"");
    ASSERT_EQ(hive.keys.size(), 1u);
    const std::vector<std::pair<std::wstring, std::wstring>> expected{{L"good", L"1"},
                                                                      {L"also good", L"4"}};
    EXPECT_EQ(hive.keys[0].values, expected);
}

}  // namespace
