#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "LibraryHarness.h"
#include "ServiceLibrary.h"
#include "ServiceProcess.h"
#include "TestHttpServer.h"
#include "registry/Registry.h"

namespace {

using vesk::test::LibraryHarness;
using vesk::test::ServiceProcess;
using vesk::test::TestHttpServer;

constexpr const char* kInstallerPath = "/tirsa/tsp/TSPInst.exe";
constexpr const wchar_t* kServiceKey = L"Software\\Tirsa Networks\\TSP";

const std::filesystem::path kBuiltServiceFolder =
    std::filesystem::path(TSP_SERVICE_PROGRAM).parent_path();

// Each test starts with nothing installed and stops whatever the library started.
class LifecycleTest : public ::testing::Test {
protected:
    LifecycleTest() : m_harness(LibraryHarness::Instance()) {
        m_harness.ForgetInstallation();
        m_harness.SetServiceOptions("");
        const std::string base = m_server.Url("/");
        setenv("VESK_TSP_DOWNLOAD_SERVER", base.substr(0, base.size() - 1).c_str(), 1);
    }
    ~LifecycleTest() override {
        m_harness.StopStartedServices();
        setenv("VESK_TSP_DOWNLOAD_SERVER", "http://127.0.0.1:1", 1);
    }

    // The built service, registered with this version.
    static void RegisterBuiltService(const wchar_t* version) {
        ASSERT_TRUE(vesk::registry::WriteString(kServiceKey, L"Version Number", version));
        ASSERT_TRUE(vesk::registry::WriteString(kServiceKey, L"Program Directory",
                                                kBuiltServiceFolder.wstring()));
    }

    std::filesystem::path DownloadedInstaller() const {
        return m_harness.home() / "cache" / "Tirsa_Temp" / "TSPInst.exe";
    }

    LibraryHarness& m_harness;
    TestHttpServer m_server;
};

TEST_F(LifecycleTest, MissingServiceIsDownloadedInstalledAndLoggedIn) {
    vesk::test::TestResponse installer;
    installer.file = TSP_INSTALLER_PROGRAM;
    m_server.Serve(kInstallerPath, installer);
    // The library's polls go on once the installer has started the service and ended.
    m_harness.HoldSleepsForNextStart(true);

    int code = -1;
    EXPECT_TRUE(TSP(TSP_Lib_StartTSP)(&code, L"Vesk"));
    EXPECT_EQ(code, kServiceOk);
    EXPECT_EQ(m_server.RequestCount(kInstallerPath), 1);
    EXPECT_EQ(std::filesystem::file_size(DownloadedInstaller()),
              std::filesystem::file_size(TSP_INSTALLER_PROGRAM));
    EXPECT_TRUE(TSP(TSP_Lib_CheckTSPIsLoggedIn)());

    wchar_t version[1024] = L"";
    wchar_t folder[1024] = L"";
    wchar_t* versionBuffer = version;
    wchar_t* folderBuffer = folder;
    EXPECT_TRUE(TSP(TSP_Lib_CheckIsTSPPresent)(&versionBuffer, &folderBuffer));
    EXPECT_STREQ(version, L"2.3.0.0");
    EXPECT_EQ(std::filesystem::path(folder), m_harness.home() / "data/Tirsa Networks/TSP/");
    const auto key = vesk::registry::OpenKey(kServiceKey);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->String(L"Partner"), L"Vesk");
}

// The installer is a script that announces itself with its arguments, padded to size.
TEST_F(LifecycleTest, OnlyAnInstallerOfAtLeastOneMebibyteIsRun) {
    const std::string head =
        "#!/bin/sh\necho \"listening $$ $*\" >> '" + m_harness.announcePath().string() + "'\n#";
    struct Row {
        std::size_t size;
        bool run;
    };
    for (const Row row : {Row{1048575, false}, Row{1048576, true}}) {
        vesk::test::TestResponse installer;
        installer.body = head + std::string(row.size - head.size() - 1, 'x') + "\n";
        m_server.Serve(kInstallerPath, installer);
        const std::size_t before = m_harness.Announcements();

        // The script registers nothing, so the install fails either way.
        EXPECT_FALSE(TSP(TSP_Lib_InstallTSP)(L"Vesk"));
        EXPECT_EQ(std::filesystem::file_size(DownloadedInstaller()), row.size);
        if (row.run) {
            const std::string line = m_harness.WaitForAnnouncement(before);
            EXPECT_TRUE(line.ends_with(" /S --partner=Vesk")) << line;
        } else {
            EXPECT_EQ(m_harness.Announcements(), before);
        }
    }
    m_harness.StopStartedServices();
}

TEST_F(LifecycleTest, ServiceOlderThanTheMinimumIsNotLaunched) {
    RegisterBuiltService(L"2.2.9.9");
    const std::size_t before = m_harness.Announcements();
    int code = -1;
    EXPECT_FALSE(TSP(TSP_Lib_StartTSP)(&code, L"Vesk"));
    EXPECT_EQ(code, kServiceTooOld);
    EXPECT_FALSE(TSP(TSP_Lib_CheckAndReStartTSP)(&code));
    EXPECT_EQ(code, kServiceTooOld);
    EXPECT_EQ(m_harness.Announcements(), before);
    EXPECT_EQ(m_server.RequestCount(kInstallerPath), 0);

    RegisterBuiltService(L"2.10.0.0");
    m_harness.HoldSleepsForNextStart();
    EXPECT_TRUE(TSP(TSP_Lib_StartTSP)(&code, L"Vesk"));
    EXPECT_EQ(code, kServiceOk);
    EXPECT_EQ(m_harness.Announcements(), before + 1);
}

TEST_F(LifecycleTest, RunningServiceIsShutDownAndStartedAgain) {
    RegisterBuiltService(L"2.3.0.0");
    ServiceProcess running(m_harness.RequestLogOptions());
    ASSERT_TRUE(running.ready());
    m_harness.TakeRequests();
    m_harness.TakeSleeps();
    m_harness.HoldSleepsForNextStart();

    int code = -1;
    EXPECT_TRUE(TSP(TSP_Lib_CheckAndReStartTSP)(&code));
    EXPECT_EQ(code, kServiceOk);
    EXPECT_EQ(running.Wait(), 0);
    const auto requests = m_harness.TakeRequests();
    EXPECT_NE(std::find(requests.begin(), requests.end(), "shutdown"), requests.end());
    const auto sleeps = m_harness.TakeSleeps();
    ASSERT_FALSE(sleeps.empty());
    EXPECT_EQ(sleeps.front(), 5000);
}

// A service that stops answering is replaced by the registered one, and the call goes on;
// unlike a restart the host asks for, this one takes whatever version is installed.
TEST_F(LifecycleTest, TransferRecoveryRestartsTheServiceWhateverItsVersion) {
    for (const wchar_t* version : {L"2.3.0.0", L"2.2.9.9"}) {
        RegisterBuiltService(version);
        ServiceProcess failing({"--fault", "transfer.status=http-500"});
        ASSERT_TRUE(failing.ready());
        m_harness.HoldSleepsForNextStart();
        const std::size_t before = m_harness.Announcements();

        int code = -1;
        const std::unique_ptr<TransferStatus> status(TSP(TSP_Lib_StatusTransfer)(&code, L"7"));
        ASSERT_NE(status, nullptr);
        EXPECT_EQ(code, kServiceOk);
        EXPECT_EQ(status->statusId, 404);  // the new service knows no transfer 7
        EXPECT_EQ(failing.Wait(), 0);
        EXPECT_EQ(m_harness.Announcements(), before + 1);
        m_harness.StopStartedServices();
    }
}

TEST_F(LifecycleTest, RegisteredProgramThatCannotRunIsCodeSeven) {
    const std::filesystem::path folder = m_harness.home() / "not-a-program";
    std::filesystem::create_directories(folder);
    vesk::test::WriteFileBytes(folder / "TSP.exe", "no program\n");  // no execute permission
    ASSERT_TRUE(vesk::registry::WriteString(kServiceKey, L"Version Number", L"2.3.0.0"));
    ASSERT_TRUE(
        vesk::registry::WriteString(kServiceKey, L"Program Directory", folder.wstring() + L"/"));
    m_harness.TakeSleeps();
    int code = -1;
    EXPECT_FALSE(TSP(TSP_Lib_StartTSP)(&code, L"Vesk"));
    EXPECT_EQ(code, kServiceLaunchFailed);
    code = -1;
    EXPECT_FALSE(TSP(TSP_Lib_CheckAndReStartTSP)(&code));
    EXPECT_EQ(code, kServiceLaunchFailed);
    EXPECT_TRUE(m_harness.TakeSleeps().empty());
    EXPECT_EQ(m_server.RequestCount(kInstallerPath), 0);
}

TEST_F(LifecycleTest, ServiceThatNeverLogsInIsCodeTwelveAfterTwoMinutes) {
    RegisterBuiltService(L"2.3.0.0");
    m_harness.SetServiceOptions("--login-after 1000");
    m_harness.HoldSleepsForNextStart();
    m_harness.TakeSleeps();
    m_harness.TakeRequests();
    const std::size_t before = m_harness.Announcements();

    int code = -1;
    EXPECT_FALSE(TSP(TSP_Lib_StartTSP)(&code, L"Vesk"));
    EXPECT_EQ(code, kServiceLoginTimedOut);
    EXPECT_EQ(m_harness.Announcements(), before + 1);
    EXPECT_EQ(m_harness.TakeSleeps(), std::vector<long>(24, 5000));
    // Two questions come before the first pause and may find the service still starting;
    // the other 23 reach it.
    const auto requests = m_harness.TakeRequests();
    EXPECT_GE(std::count(requests.begin(), requests.end(), "loginStatus"), 23);
}

// The installer is a script that waits for the test before it runs the real installer.
TEST_F(LifecycleTest, InstallerStillRunningAfterTwoMinutesIsSeenToFinishLater) {
    const std::filesystem::path go = m_harness.home() / "installer-go.fifo";
    std::filesystem::remove(go);
    ASSERT_EQ(mkfifo(go.c_str(), 0600), 0);
    // Open for writing too, so the word waits in the FIFO for the script to read.
    const int goFd = open(go.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(goFd, 0);
    // Should the test end first, the FIFO's end stops the script before it installs anything.
    std::string script = "#!/bin/sh\nread word < '" + go.string() + "' || exit 1\nexec '" +
                         TSP_INSTALLER_PROGRAM + "' \"$@\"\n#";
    script += std::string(1048576 - script.size() - 1, 'x') + "\n";
    m_server.Serve(kInstallerPath, {.body = script});
    m_harness.TakeSleeps();

    EXPECT_FALSE(TSP(TSP_Lib_InstallTSP)(L"Vesk"));
    EXPECT_EQ(m_harness.TakeSleeps(), std::vector<long>(24, 5000));
    EXPECT_FALSE(TSP(TSP_Lib_CheckIsTSPPresent)(nullptr, nullptr));

    // Once the installer has started the service and ended, the next call sees it done.
    m_harness.HoldSleepsForNextStart(true);
    ASSERT_EQ(write(goFd, "go\n", 3), 3);
    EXPECT_TRUE(TSP(TSP_Lib_InstallTSP)(L"Vesk"));
    EXPECT_TRUE(TSP(TSP_Lib_CheckIsTSPPresent)(nullptr, nullptr));
    EXPECT_EQ(m_server.RequestCount(kInstallerPath), 1);
    close(goFd);
}

TEST_F(LifecycleTest, DiskTokenFileIsWrittenForEveryUser) {
    ServiceProcess service;
    ASSERT_TRUE(service.ready());
    const mode_t saved = umask(022);
    TSP(TSP_Lib_GetKeyValue)(L"updater", L"lang");
    TSP(TSP_Lib_GetKeyValue)(L"updater", L"lang");
    umask(saved);
    const auto file = service.dataDir() / "disk.token";
    struct stat info {};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0666u);
    const std::string token = vesk::test::ReadFileBytes(file);
    EXPECT_EQ(token.size(), 32u);
    EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos);
}

}  // namespace
