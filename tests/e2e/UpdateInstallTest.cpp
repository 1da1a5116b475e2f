// The install stage of the real updater: browsers holding the plug-ins, packages whose
// entries cannot all be unpacked, and the user's game catalogue carried across a package.

#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "RunningClient.h"
#include "UpdateScenario.h"
#include "fs/Files.h"

namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using vesk::test::ReadFileBytes;
using vesk::test::ScenarioPackage;
using vesk::test::ScenarioRun;
using vesk::test::TestZipEntry;
using vesk::test::UpdateScenario;

void PublishOne(UpdateScenario& scenario, std::vector<TestZipEntry> entries) {
    ScenarioPackage latest{"1.9", "full-1.9.zip", {{"data/full.txt", "full"}}};
    latest.size = 50 << 20;
    scenario.Publish({{"1.1", "patch-1.1.zip", std::move(entries)}}, latest);
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

TEST(UpdateInstall, ALockedPlugInIsAskedAboutUntilTheUserGivesUp) {
    UpdateScenario scenario;
    PublishOne(scenario, {{"data/part1.txt", "new"}});
    scenario.install().AddFile("plugins/VeskPluginIE.dll", "plug-in");
    vesk::fs::ExclusiveFile held;
    ASSERT_EQ(
        vesk::fs::ExclusiveFile::Open((scenario.folder() / "plugins/VeskPluginIE.dll").wstring(),
                                      vesk::fs::ExclusiveFile::Access::ReadWrite, false, held),
        vesk::fs::ExclusiveFile::Result::Ok);
    const vesk::test::RunningClient browser(scenario.folder().parent_path() / "browser",
                                            "firefox.exe");
    scenario.KeepChild(browser.pid());
    // The connection box first (no service here), then retry once, then give up.
    scenario.install().SetEnv("VESK_UI_ANSWERS", "ok,1,2");
    const ScenarioRun run = scenario.Run();
    EXPECT_EQ(run.exitCode, 1);
    const std::string question =
        "Message box: Programs must be closed\nPlease close these programs, then choose Retry: "
        "firefox.exe \n";
    EXPECT_EQ(Count(run.errors, question), 2u) << run.errors;
    EXPECT_THAT(run.clientStarts, IsEmpty());
    EXPECT_EQ(scenario.InstalledVersion(), "1.0");
    EXPECT_FALSE(std::filesystem::exists(scenario.folder() / "data/part1.txt"));
    EXPECT_TRUE(std::filesystem::exists(scenario.folder() / "tmp/patch-1.1.zip"));
}

TEST(UpdateInstall, ADamagedEntryLeavesTheVersionForTheNextRunToRepair) {
    UpdateScenario scenario;
    TestZipEntry damaged{"data/part2.txt", "damaged data"};
    damaged.wrongCrc = true;
    PublishOne(scenario, {{"data/part1.txt", "new"}, damaged});
    const ScenarioRun run = scenario.Run();
    EXPECT_EQ(run.exitCode, 1);
    const auto flow = run.Flow();
    ASSERT_GE(flow.size(), 2u);
    EXPECT_THAT(flow[flow.size() - 2], HasSubstr("entry data/part2.txt not unpacked"));
    EXPECT_EQ(flow.back(), "download failed,exit.");
    EXPECT_EQ(scenario.InstalledVersion(), "1.0");
    EXPECT_THAT(run.clientStarts, ElementsAre("noupdate"));
}

TEST(UpdateInstall, AReadOnlyTargetIsLoggedAndTheUpdateRecorded) {
    UpdateScenario scenario;
    PublishOne(scenario, {{"data/part1.txt", "new"}, {"data/part2.txt", "new 2"}});
    scenario.install().AddFile("data/part1.txt", "old, read-only");
    chmod((scenario.folder() / "data/part1.txt").c_str(), 0444);
    const ScenarioRun run = scenario.Run();
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_THAT(run.Flow(), testing::Contains(HasSubstr("entry data/part1.txt refused")));
    EXPECT_EQ(ReadFileBytes(scenario.folder() / "data/part1.txt"), "old, read-only");
    EXPECT_EQ(ReadFileBytes(scenario.folder() / "data/part2.txt"), "new 2");
    EXPECT_EQ(scenario.InstalledVersion(), "1.9");
}

TEST(UpdateInstall, TheUsersCatalogueStateSurvivesAPackageThatReplacesIt) {
    UpdateScenario scenario;
    scenario.install().AddFile("Config.ini",
                               "[Locale]\r\nLanguage=1\r\nCount=1\r\n[VeskVersionURL]\r\n"
                               "UpdateAddress=" +
                                   scenario.server().Url("/updates/") + "\r\n");
    scenario.install().AddFile(
        "gameinfo.xml_0",
        "<?xml version=\"1.0\" ?>\n<games>\n"
        "<game id=\"7\" name=\"Old name\" download=\"1\" install=\"1\" installdate=\"2026-01-02\">"
        "<path installpath=\"/games/seven\"/><lastplaytime year=\"2026\" month=\"3\"/></game>\n"
        "<game id=\"8\" name=\"Gone\" install=\"1\"/>\n</games>\n");
    PublishOne(scenario, {{"gameinfo.xml_0",
                           "<?xml version=\"1.0\" ?>\n<games>\n"
                           "<game id=\"7\" name=\"New name\" download=\"0\" install=\"0\">"
                           "<path installpath=\"\"/><lastplaytime year=\"0\" month=\"0\"/></game>\n"
                           "<game id=\"9\" name=\"Brand new\" install=\"0\"/>\n</games>\n"}});
    const ScenarioRun run = scenario.Run();
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    const std::string merged = ReadFileBytes(scenario.folder() / "gameinfo.xml_0");
    EXPECT_THAT(merged, HasSubstr("name=\"New name\""));
    EXPECT_THAT(merged, HasSubstr("installpath=\"/games/seven\""));
    EXPECT_THAT(merged, HasSubstr("year=\"2026\""));
    EXPECT_THAT(merged, HasSubstr("installdate=\"2026-01-02\""));
    EXPECT_THAT(merged, HasSubstr("name=\"Brand new\" install=\"0\""));
    EXPECT_THAT(merged, testing::Not(HasSubstr("Gone")));
}

}  // namespace
