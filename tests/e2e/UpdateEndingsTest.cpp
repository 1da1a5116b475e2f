// Every way a run of the real updater ends: the exit code, the log, the boxes, the version
// file, the client's arguments and the installation's files, as a user and the next run see
// them. The waits run on the virtual clock; the server and the service are real.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "UpdateScenario.h"

namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;
using vesk::test::ReadFileBytes;
using vesk::test::ScenarioPackage;
using vesk::test::ScenarioRun;
using vesk::test::TestZipEntry;
using vesk::test::UpdateScenario;

const char kBoxUpdateFailed[] = "Message box: Error\nThe update failed. Please try again later.";
const char kBoxConnection[] =
    "Message box: Error\nThe transfer service cannot be reached, so the update is downloaded "
    "directly.";

ScenarioPackage Package(std::string id, std::string name, std::string file) {
    return {id, name, {{file, "content of " + id}}};
}

// A chain of one small package and a large latest one, so the chain is what downloads.
// md5: what the manifest says of the first package instead of its real md5.
void PublishChain(UpdateScenario& scenario, int chainLength = 1,
                  std::optional<std::string> md5 = std::nullopt) {
    std::vector<ScenarioPackage> chain;
    for (int i = 1; i <= chainLength; ++i) {
        const std::string id = "1." + std::to_string(i);
        chain.push_back(
            Package(id, "patch-" + id + ".zip", "data/part" + std::to_string(i) + ".txt"));
    }
    if (md5) chain[0].md5 = *md5;
    ScenarioPackage latest = Package("1.9", "full-1.9.zip", "data/full.txt");
    latest.size = 50 << 20;
    scenario.Publish(chain, latest);
}

TEST(UpdateEndings, SuccessThroughTheServiceRecordsTheVersionAndStartsTheClient) {
    UpdateScenario scenario;
    PublishChain(scenario);
    ASSERT_TRUE(scenario.StartService());
    const ScenarioRun run = scenario.Run({"12", "user", "token", "2"});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_THAT(run.Flow(), ElementsAre("UPdate success and start VESKClient,exit."));
    EXPECT_THAT(run.clientStarts, ElementsAre("noupdate 12 user token 2"));
    EXPECT_EQ(scenario.InstalledVersion(), "1.9");
    EXPECT_EQ(ReadFileBytes(scenario.folder() / "data/part1.txt"), "content of 1.1");
    EXPECT_FALSE(std::filesystem::exists(scenario.folder() / "tmp/patch-1.1.zip"));
    EXPECT_FALSE(std::filesystem::exists(scenario.folder() / "tmp/veskversion.xml"));
    EXPECT_EQ(scenario.server().RequestCount("/updates/full-1.9.zip"), 0);
    EXPECT_THAT(run.errors, Not(HasSubstr("Message box")));
    EXPECT_THAT(scenario.FilesOutside(), IsEmpty());
}

TEST(UpdateEndings, AChainOfThreeComesAsThreeTransfersWithoutTheLatest) {
    UpdateScenario scenario;
    PublishChain(scenario, 3);
    ASSERT_TRUE(scenario.StartService());
    const ScenarioRun run = scenario.Run();
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    int starts = 0;
    for (const std::string& method : scenario.ServiceRequests())
        starts += method == "transfer.start";
    EXPECT_EQ(starts, 3);
    for (const char* file : {"data/part1.txt", "data/part2.txt", "data/part3.txt"}) {
        EXPECT_TRUE(std::filesystem::exists(scenario.folder() / file)) << file;
    }
    EXPECT_EQ(scenario.server().RequestCount("/updates/full-1.9.zip"), 0);
    EXPECT_THAT(run.clientStarts, ElementsAre("noupdate"));
}

TEST(UpdateEndings, ACurrentVersionStartsTheClientAndEndsWithOne) {
    UpdateScenario scenario;
    PublishChain(scenario);
    scenario.SetInstalledVersion("1.9");
    const ScenarioRun run = scenario.Run({"x", "user", "token", "2"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.Flow(),
                ElementsAre("version is correct,exit.", "Update fail and start VESKClient,exit."));
    EXPECT_THAT(run.clientStarts, ElementsAre("noupdate 0 user token 2"));
    EXPECT_EQ(scenario.InstalledVersion(), "1.9");
}

TEST(UpdateEndings, AManifestThatCannotBeFetchedFourTimesFailsTheUpdate) {
    UpdateScenario scenario;
    scenario.server().Serve("/updates/veskversion.xml", {.status = 500});
    const ScenarioRun run = scenario.Run();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(scenario.server().RequestCount("/updates/veskversion.xml"), 4);
    EXPECT_THAT(run.Flow(), ElementsAre("download failed,exit."));
    EXPECT_THAT(run.errors, HasSubstr(kBoxUpdateFailed));
    EXPECT_THAT(run.clientStarts, ElementsAre("noupdate"));
    EXPECT_EQ(scenario.InstalledVersion(), "1.0");
}

TEST(UpdateEndings, AnUnreadableManifestEndsWithoutTheClient) {
    for (const std::string& manifest :
         {std::string("<root><latestpackage id='2'"),
          std::string("<root><latestpackage id='2' name='../../outside.zip'/>"
                      "<updatepackage id='1.1' name='ok.zip'/></root>")}) {
        UpdateScenario scenario;
        scenario.server().Serve("/updates/veskversion.xml", {.body = manifest});
        const ScenarioRun run = scenario.Run();
        EXPECT_EQ(run.exitCode, 1) << manifest;
        EXPECT_THAT(run.Flow(), ElementsAre("Resolve version info failed,exit."));
        EXPECT_THAT(run.errors, HasSubstr(kBoxUpdateFailed));
        EXPECT_THAT(run.clientStarts, IsEmpty());
        EXPECT_THAT(scenario.FilesOutside(), IsEmpty());
    }
}

TEST(UpdateEndings, TooLittleDiskSpaceEndsWithoutTheClient) {
    // The chain's one package is 3 * its size in all; the free space must exceed that.
    for (const bool current : {false, true}) {
        UpdateScenario scenario;
        PublishChain(scenario);
        const std::string package = scenario.PackageBytes("patch-1.1.zip");
        const std::uint64_t needed = 3 * package.size();
        if (current) scenario.SetInstalledVersion("1.9");
        scenario.install().SetEnv("VESK_FREE_DISK_BYTES", current ? "0" : std::to_string(needed));
        const ScenarioRun run = scenario.Run();
        const std::string kb = current ? "0KB" : std::to_string(needed / 1024) + "KB";
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_THAT(run.Flow(), IsEmpty());
        EXPECT_THAT(run.errors, HasSubstr("Message box: Not enough disk space\nThe update needs " +
                                          kb + " of free disk space. Please free at least " + kb +
                                          " and start the update again."));
        EXPECT_THAT(run.clientStarts, IsEmpty());
        EXPECT_EQ(scenario.server().RequestCount("/updates/patch-1.1.zip"), 0);
    }
}

TEST(UpdateEndings, AMissingOrIncompleteLibraryEndsWithoutADownload) {
    for (const bool incomplete : {false, true}) {
        UpdateScenario scenario;
        PublishChain(scenario);
        std::filesystem::remove(scenario.folder() / "TSPWrapperLib.dll");
        if (incomplete) scenario.install().AddProgram(VESK_INCOMPLETE_LIBRARY, "TSPWrapperLib.dll");
        const ScenarioRun run = scenario.Run();
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_THAT(run.errors, HasSubstr("Message box: Error\nThe transfer service is missing."));
        EXPECT_THAT(run.clientStarts, IsEmpty());
        EXPECT_EQ(scenario.server().RequestCount("/updates/patch-1.1.zip"), 0);
        EXPECT_EQ(scenario.InstalledVersion(), "1.0");
    }
}

TEST(UpdateEndings, AServiceThatCannotStartLeavesTheDownloadToHttp) {
    UpdateScenario scenario;
    PublishChain(scenario);
    const ScenarioRun run = scenario.Run();
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_THAT(run.Flow(),
                ElementsAre("Start TSP failed,exit.", "UPdate success and start VESKClient,exit."));
    EXPECT_THAT(run.errors, HasSubstr(kBoxConnection));
    EXPECT_EQ(scenario.server().RequestCount("/updates/patch-1.1.zip"), 1);
    EXPECT_EQ(scenario.InstalledVersion(), "1.9");
}

TEST(UpdateEndings, ATransferErrorOnTheFirstTickCancelsAndFails) {
    UpdateScenario scenario;
    PublishChain(scenario);
    ASSERT_TRUE(scenario.StartService({"--fault", "transfer.status=status-404"}));
    const ScenarioRun run = scenario.Run();
    EXPECT_EQ(run.exitCode, 1);
    const auto flow = run.Flow();
    ASSERT_EQ(flow.size(), 2u) << testing::PrintToString(flow);
    EXPECT_THAT(flow[0],
                testing::StartsWith("CVeskUpdateDlg::OnTimer: TSP download error.(file: "));
    EXPECT_EQ(flow[1], "download failed,exit.");
    EXPECT_THAT(scenario.ServiceRequests(), testing::Contains("transfer.cancel"));
    EXPECT_THAT(run.errors, HasSubstr(kBoxUpdateFailed));
    EXPECT_THAT(run.clientStarts, ElementsAre("noupdate"));
    EXPECT_EQ(scenario.InstalledVersion(), "1.0");
}

TEST(UpdateEndings, DirectDownloadsShareOneBudgetOfRetries) {
    {
        UpdateScenario scenario;
        PublishChain(scenario, 2);
        scenario.server().Serve("/updates/patch-1.1.zip", {.status = 500});
        const ScenarioRun run = scenario.Run();
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(scenario.server().RequestCount("/updates/patch-1.1.zip"), 5);
        EXPECT_THAT(run.Flow().back(), "download failed,exit.");
        EXPECT_THAT(run.clientStarts, ElementsAre("noupdate"));
    }
    {
        UpdateScenario scenario;
        PublishChain(scenario, 2);
        const std::string first = scenario.PackageBytes("patch-1.1.zip");
        scenario.server().ServeSequence("/updates/patch-1.1.zip",
                                        {{.status = 500}, {.status = 500}, {.body = first}});
        scenario.server().Serve("/updates/patch-1.2.zip", {.status = 404});
        const ScenarioRun run = scenario.Run();
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(scenario.server().RequestCount("/updates/patch-1.1.zip"), 3);
        EXPECT_EQ(scenario.server().RequestCount("/updates/patch-1.2.zip"), 3);
        EXPECT_EQ(scenario.InstalledVersion(), "1.0");
        EXPECT_FALSE(std::filesystem::exists(scenario.folder() / "data/part1.txt"));
    }
}

TEST(UpdateEndings, APackageThatFailsItsMd5IsNeverUnpacked) {
    UpdateScenario scenario;
    PublishChain(scenario, 1, std::string(32, '0'));
    const ScenarioRun run = scenario.Run();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(scenario.server().RequestCount("/updates/patch-1.1.zip"), 5);
    EXPECT_THAT(run.Flow(), testing::Contains("Package patch-1.1.zip does not match its md5."));
    EXPECT_FALSE(std::filesystem::exists(scenario.folder() / "data/part1.txt"));
    EXPECT_FALSE(std::filesystem::exists(scenario.folder() / "tmp/patch-1.1.zip"));
    EXPECT_EQ(scenario.InstalledVersion(), "1.0");
}

// The service fetches the second package while the first is checked: the first failing
// takes the second's transfer down, and neither package is kept.
TEST(UpdateEndings, APackageTheServiceBringsIsCheckedAsWell) {
    UpdateScenario scenario;
    PublishChain(scenario, 2, std::string(32, 'f'));
    ASSERT_TRUE(scenario.StartService());
    const ScenarioRun run = scenario.Run();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.Flow(), ElementsAre("Package patch-1.1.zip does not match its md5,exit.",
                                        "download failed,exit."));
    EXPECT_THAT(run.errors, HasSubstr(kBoxUpdateFailed));
    EXPECT_THAT(run.clientStarts, ElementsAre("noupdate"));
    EXPECT_FALSE(std::filesystem::exists(scenario.folder() / "data/part1.txt"));
    EXPECT_FALSE(std::filesystem::exists(scenario.folder() / "tmp/patch-1.1.zip"));
    EXPECT_FALSE(std::filesystem::exists(scenario.folder() / "tmp/patch-1.2.zip"));
    EXPECT_EQ(scenario.InstalledVersion(), "1.0");
    const std::vector<std::string> requests = scenario.ServiceRequests();
    EXPECT_EQ(std::count(requests.begin(), requests.end(), "transfer.start"), 2);
    EXPECT_EQ(std::count(requests.begin(), requests.end(), "transfer.cancel"), 1);
}

TEST(UpdateEndings, ASuccessfulRunExitsCleanlyEveryTime) {
    // The process ends while threads of the update may still be ending; no run may crash,
    // hang or report a race on the way out.
    for (int i = 0; i < 5; ++i) {
        UpdateScenario scenario;
        PublishChain(scenario);
        const ScenarioRun run = scenario.Run();
        ASSERT_EQ(run.exitCode, 0) << run.errors;
        EXPECT_THAT(run.errors, Not(HasSubstr("Sanitizer")));
    }
}

}  // namespace
