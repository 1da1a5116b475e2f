// Endings of the real updater that no other suite reaches: a transfer the service will not
// start (first or later), the free-space query failing, the client program or the window's
// background missing, a version file that cannot be written, and the service restarted on the
// answers that call for it.

#include <sched.h>
#include <sys/mount.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "UpdateScenario.h"

namespace {

namespace fs = std::filesystem;
using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;
using testing::StartsWith;
using vesk::test::ReadFileBytes;
using vesk::test::ScenarioPackage;
using vesk::test::ScenarioRun;
using vesk::test::UpdateScenario;
using vesk::test::WriteFileBytes;

const char kBoxUpdateFailed[] = "Message box: Error\nThe update failed. Please try again later.";
const char kBoxConnection[] =
    "Message box: Error\nThe transfer service cannot be reached, so the update is downloaded "
    "directly.";
const char kSucceeded[] = "UPdate success and start VESKClient,exit.";
const char kPatcherFailed[] = "download patcher failed,exit.";
const char kStartFailed[] = "CVeskUpdateDlg::DownloadPatcher: g_TSP_StartTransfer failed.";
const char kDownloadFailed[] = "download failed,exit.";
const char kNoClient[] = "VESKClient.exe not exist,exit.";

// A chain of `length` small packages and a large latest one, so the chain is what downloads.
void PublishChain(UpdateScenario& scenario, int length = 1) {
    std::vector<ScenarioPackage> chain;
    for (int i = 1; i <= length; ++i) {
        const std::string id = "1." + std::to_string(i);
        chain.push_back({id,
                         "patch-" + id + ".zip",
                         {{"data/part" + std::to_string(i) + ".txt", "content of " + id}}});
    }
    ScenarioPackage latest{"1.9", "full-1.9.zip", {{"data/full.txt", "full"}}};
    latest.size = 50 << 20;
    scenario.Publish(chain, latest);
}

long Count(const std::vector<std::string>& methods, const std::string& method) {
    return std::count(methods.begin(), methods.end(), method);
}

// The service, running with the fault `first`; every launch the library makes of it runs it
// with the fault `relaunched` (none when empty). The library waits for a service it launches
// as for a real process, so the clock runs fast instead of jumping.
bool StartServiceLaunchedAs(UpdateScenario& scenario, const std::string& first,
                            const std::string& relaunched) {
    if (!scenario.StartService({"--fault", first})) return false;
    const fs::path folder = scenario.serviceFolder();
    fs::rename(folder / "TSP.exe", folder / "TSP.real");
    const std::string fault = relaunched.empty() ? "" : " --fault '" + relaunched + "'";
    WriteFileBytes(folder / "TSP.exe", "#!/bin/sh\nexec '" + (folder / "TSP.real").string() +
                                           "' --data-dir '" + (folder / "data").string() +
                                           "' --request-log '" + (folder / "requests").string() +
                                           "'" + fault + " \"$@\"\n");
    fs::permissions(folder / "TSP.exe", fs::perms::owner_all);
    scenario.install().SetEnv("VESK_CLOCK", "scaled:20");
    return true;
}

ScenarioRun RunStoppingServices(UpdateScenario& scenario) {
    const auto updater = scenario.Start();
    if (!updater) return {};
    return scenario.FinishStoppingServices(*updater);
}

// The first transfer start: the library repeats the request or restarts the service as each
// answer asks; a start that still yields no transfer leaves the package to the direct download,
// after the connection box, and one a restart mended goes on through the service.
TEST(UpdateFaultEndings, AFirstTransferThatCannotBeStartedLeavesTheDownloadToHttp) {
    const std::string noReply = "transfer.start=http-500";
    const struct {
        const char* what;
        std::string first;
        std::string relaunched;
        bool direct;
        long startRequests;
    } rows[] = {
        {"no element every time (13): repeated twice", "transfer.start=no-element", "", true, 3},
        {"no reply every time (2): restarted twice", noReply, noReply, true, 3},
        {"no reply once (2): the restart mends it", "transfer.start=http-500:1", "", false, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        UpdateScenario scenario;
        PublishChain(scenario);
        ASSERT_TRUE(StartServiceLaunchedAs(scenario, row.first, row.relaunched));
        const ScenarioRun run = RunStoppingServices(scenario);
        EXPECT_EQ(run.exitCode, 0) << run.errors;
        const auto flow = run.Flow();
        if (row.direct) {
            ASSERT_EQ(flow.size(), 3u) << testing::PrintToString(flow)
                                       << testing::PrintToString(scenario.ServiceRequests());
            EXPECT_THAT(flow[0], StartsWith(kStartFailed));
            EXPECT_EQ(flow[1], kPatcherFailed);
            EXPECT_EQ(flow[2], kSucceeded);
            EXPECT_THAT(run.errors, HasSubstr(kBoxConnection));
        } else {
            EXPECT_THAT(flow, ElementsAre(kSucceeded));
            EXPECT_THAT(run.errors, Not(HasSubstr(kBoxConnection)));
        }
        EXPECT_EQ(Count(scenario.ServiceRequests(), "transfer.start"), row.startRequests);
        EXPECT_EQ(scenario.InstalledVersion(), "1.9");
        EXPECT_EQ(ReadFileBytes(scenario.folder() / "data/part1.txt"), "content of 1.1");
    }
}

TEST(UpdateFaultEndings, ALaterTransferThatCannotBeStartedFailsTheUpdate) {
    UpdateScenario scenario;
    PublishChain(scenario, 2);
    // The first start goes through, every later one fails.
    ASSERT_TRUE(scenario.StartService({"--fault", "transfer.start=no-element@1"}));
    const ScenarioRun run = scenario.Run();
    EXPECT_EQ(run.exitCode, 1);
    const auto flow = run.Flow();
    ASSERT_EQ(flow.size(), 2u) << testing::PrintToString(flow);
    EXPECT_THAT(flow[0], StartsWith(kStartFailed));
    EXPECT_EQ(flow[1], kDownloadFailed);
    EXPECT_THAT(run.errors, HasSubstr(kBoxUpdateFailed));
    EXPECT_THAT(run.errors, Not(HasSubstr(kBoxConnection)));
    EXPECT_THAT(run.clientStarts, ElementsAre("noupdate"));
    EXPECT_EQ(Count(scenario.ServiceRequests(), "transfer.start"), 4);
    EXPECT_EQ(scenario.InstalledVersion(), "1.0");
    EXPECT_FALSE(fs::exists(scenario.folder() / "data/part1.txt"));
}

TEST(UpdateFaultEndings, AFailedFreeSpaceQueryEndsWithoutADownloadOrTheClient) {
    UpdateScenario scenario;
    PublishChain(scenario);
    scenario.install().SetEnv("VESK_FREE_DISK_BYTES", "fail");
    const ScenarioRun run = scenario.Run();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.Flow(), IsEmpty());
    // The program folder is there: no box names a missing path.
    EXPECT_THAT(run.errors, Not(HasSubstr("Message box")));
    EXPECT_THAT(run.clientStarts, IsEmpty());
    EXPECT_EQ(scenario.server().RequestCount("/updates/patch-1.1.zip"), 0);
    EXPECT_EQ(scenario.InstalledVersion(), "1.0");
}

TEST(UpdateFaultEndings, AMissingClientIsLoggedOnFinishAndIgnoredOnSuccess) {
    {
        SCOPED_TRACE("finish: the version is current");
        UpdateScenario scenario;
        PublishChain(scenario);
        scenario.SetInstalledVersion("1.9");
        fs::remove(scenario.folder() / "VeskClient.exe");
        const ScenarioRun run = scenario.Run();
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_THAT(run.Flow(), ElementsAre("version is correct,exit.", kNoClient,
                                            "Update fail and start VESKClient,exit."));
        EXPECT_THAT(run.clientStarts, IsEmpty());
    }
    {
        SCOPED_TRACE("success");
        UpdateScenario scenario;
        PublishChain(scenario);
        fs::remove(scenario.folder() / "VeskClient.exe");
        const ScenarioRun run = scenario.Run();
        EXPECT_EQ(run.exitCode, 0) << run.errors;
        EXPECT_THAT(run.Flow(), Contains(kSucceeded));
        EXPECT_THAT(run.Flow(), Not(Contains(kNoClient)));
        EXPECT_EQ(scenario.InstalledVersion(), "1.9");
        EXPECT_THAT(run.clientStarts, IsEmpty());
    }
}

TEST(UpdateFaultEndings, AMissingBackgroundClosesTheWindowBeforeAnythingIsFetched) {
    UpdateScenario scenario;
    PublishChain(scenario);
    fs::remove(scenario.folder() / "themes/classic/bg-update03.png");
    const ScenarioRun run = scenario.Run();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.Flow(), IsEmpty());
    EXPECT_THAT(run.clientStarts, IsEmpty());
    EXPECT_EQ(scenario.server().RequestCount("/updates/veskversion.xml"), 0);
    EXPECT_EQ(scenario.InstalledVersion(), "1.0");
}

// The test process's own mount namespace: what it mounts is seen by the programs it starts
// and by nobody else. Empty when entered, else why not.
std::string PrivateMounts() {
    if (unshare(CLONE_NEWNS) != 0) return std::string("unshare: ") + std::strerror(errno);
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return std::string("private mounts: ") + std::strerror(errno);
    return "";
}

TEST(UpdateFaultEndings, AVersionFileThatCannotBeWrittenLeavesTheUpdateToTheNextRun) {
    if (const std::string why = PrivateMounts(); !why.empty()) GTEST_SKIP() << why;
    UpdateScenario scenario;
    PublishChain(scenario);
    // Root writes whatever the mode bits say: the file is seen through a read-only mount.
    const std::string file = (scenario.folder() / "version.ini").string();
    if (mount(file.c_str(), file.c_str(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "bind: " << std::strerror(errno);
    ASSERT_EQ(mount(nullptr, file.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr), 0)
        << std::strerror(errno);
    const ScenarioRun run = scenario.Run();
    umount2(file.c_str(), MNT_DETACH);
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    // No service here: the package comes directly.
    EXPECT_THAT(run.Flow(), ElementsAre("Start TSP failed,exit.", kSucceeded,
                                        "version.ini cannot be written; the next run "
                                        "updates again."));
    EXPECT_THAT(run.clientStarts, ElementsAre("noupdate"));
    EXPECT_EQ(scenario.InstalledVersion(), "1.0");

    const ScenarioRun next = scenario.Run();
    EXPECT_EQ(next.exitCode, 0) << next.errors;
    EXPECT_EQ(scenario.server().RequestCount("/updates/patch-1.1.zip"), 2);
    EXPECT_EQ(scenario.InstalledVersion(), "1.9");
}

}  // namespace
