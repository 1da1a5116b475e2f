// The user's game catalogue across installs of the real updater that go wrong: a package whose
// catalogue cannot be merged fails the install and leaves the user's file as it was, and a
// copy left behind by an earlier install never rolls back what the user did since.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "UpdateScenario.h"

namespace {

namespace fs = std::filesystem;
using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::Not;
using vesk::test::ReadFileBytes;
using vesk::test::ScenarioPackage;
using vesk::test::ScenarioRun;
using vesk::test::UpdateScenario;
using vesk::test::WriteFileBytes;

const char kCatalogue[] = "gameinfo.xml_0";
const char kKeptCopy[] = "tmp/gameinfo.xml_0.user";
const char kSucceeded[] = "UPdate success and start VESKClient,exit.";

std::string UserCatalogue(const std::string& installPath) {
    return "<?xml version=\"1.0\" ?>\n<games>\n<game id=\"7\" name=\"Old name\" install=\"1\">"
           "<path installpath=\"" +
           installPath + "\"/></game>\n</games>\n";
}
const char kPackagedCatalogue[] =
    "<?xml version=\"1.0\" ?>\n<games>\n<game id=\"7\" name=\"New name\" install=\"0\">"
    "<path installpath=\"\"/></game>\n</games>\n";
// What a broken build of the package brings: no whole document.
const char kCutCatalogue[] = "<?xml version=\"1.0\" ?>\n<games>\n<game id=\"7\" name=\"New";

class CatalogueKeeping : public testing::Test {
protected:
    CatalogueKeeping() {
        m_scenario.install().AddFile("Config.ini",
                                     "[Locale]\r\nLanguage=1\r\nCount=1\r\n[VeskVersionURL]\r\n"
                                     "UpdateAddress=" +
                                         m_scenario.server().Url("/updates/") + "\r\n");
        m_scenario.install().AddFile(kCatalogue, UserCatalogue("/games/seven"));
    }
    void Publish(const std::string& catalogue) {
        ScenarioPackage latest{"1.9", "full-1.9.zip", {{"data/full.txt", "full"}}};
        latest.size = 50 << 20;
        m_scenario.Publish(
            {{"1.1", "patch-1.1.zip", {{kCatalogue, catalogue}, {"data/a.txt", "new a"}}}}, latest);
    }
    std::string Catalogue() const { return ReadFileBytes(m_scenario.folder() / kCatalogue); }

    UpdateScenario m_scenario;
};

TEST_F(CatalogueKeeping, ACatalogueThatCannotBeMergedFailsTheInstallUntilTheNextRunRepairsIt) {
    Publish(kCutCatalogue);
    const ScenarioRun failed = m_scenario.Run();
    EXPECT_EQ(failed.exitCode, 1) << failed.errors;
    EXPECT_THAT(failed.log, Contains(HasSubstr("Merge game info failed")));
    EXPECT_THAT(failed.log, Contains(HasSubstr("game info not merged, update not recorded.")))
        << testing::PrintToString(failed.log);
    EXPECT_THAT(failed.log, Contains("download failed,exit."));
    EXPECT_THAT(failed.log, Not(Contains(kSucceeded)));
    EXPECT_EQ(m_scenario.InstalledVersion(), "1.0");
    // The client the failed update starts finds the user's catalogue as it was.
    EXPECT_THAT(failed.clientStarts, ElementsAre("noupdate"));
    EXPECT_EQ(Catalogue(), UserCatalogue("/games/seven"));
    EXPECT_FALSE(fs::exists(m_scenario.folder() / kKeptCopy));

    Publish(kPackagedCatalogue);  // the publisher mends the package
    const ScenarioRun repaired = m_scenario.Run();
    EXPECT_EQ(repaired.exitCode, 0) << repaired.errors;
    EXPECT_EQ(m_scenario.InstalledVersion(), "1.9");
    EXPECT_THAT(Catalogue(), HasSubstr("name=\"New name\""));
    EXPECT_THAT(Catalogue(), HasSubstr("installpath=\"/games/seven\""));
    EXPECT_EQ(ReadFileBytes(m_scenario.folder() / "data/a.txt"), "new a");
    EXPECT_FALSE(fs::exists(m_scenario.folder() / kKeptCopy));
}

TEST_F(CatalogueKeeping, ACopyAnEarlierInstallLeftNeverRollsBackTheUsersFile) {
    // Left by an install months ago whose version was recorded all the same; the user has
    // installed the game elsewhere since.
    WriteFileBytes(m_scenario.folder() / kKeptCopy, UserCatalogue("/games/long-ago"));
    Publish(kPackagedCatalogue);
    const ScenarioRun run = m_scenario.Run();
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(m_scenario.InstalledVersion(), "1.9");
    EXPECT_THAT(Catalogue(), HasSubstr("name=\"New name\""));
    EXPECT_THAT(Catalogue(), HasSubstr("installpath=\"/games/seven\""));
    EXPECT_FALSE(fs::exists(m_scenario.folder() / kKeptCopy));
}

}  // namespace
