#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "ServiceInstaller.h"
#include "TempDir.h"
#include "TestHttpServer.h"
#include "TricklingServer.h"

namespace {

using namespace std::chrono_literals;
using vesk::test::TricklingServer;
using vesk::tsp::ServiceInstaller;

// The installer is fetched like any reply: cut only when it stops arriving. The stall limit
// is shortened to two seconds (the shortest a steady trickle always meets), so an installer
// that takes longer in all still arrives.
class InstallerDownloadTest : public ::testing::Test {
protected:
    InstallerDownloadTest() {
        setenv("XDG_CACHE_HOME", (m_dir / "cache").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
        ServiceInstaller::Instance().SetDownloadLimits({1s, 2s});
    }
    ~InstallerDownloadTest() override {
        ServiceInstaller::Instance().SetDownloadLimits(vesk::tsp::kHttpLimits);
        unsetenv("VESK_TSP_DOWNLOAD_SERVER");
        unsetenv("XDG_CACHE_HOME");
        unsetenv("XDG_CONFIG_HOME");
    }

    void ServeFrom(const TricklingServer& server) {
        setenv("VESK_TSP_DOWNLOAD_SERVER", server.Origin().c_str(), 1);
    }
    std::filesystem::path Saved() const { return m_dir / "cache" / "Tirsa_Temp" / "TSPInst.exe"; }
    // An installer of the smallest size: a script that tells its process id on a FIFO and ends.
    std::string TellingInstaller() {
        EXPECT_EQ(mkfifo(Told().c_str(), 0600), 0);
        std::string script = "#!/bin/sh\necho $$ > '" + Told().string() + "'\n#";
        return script + std::string(vesk::tsp::kSmallestInstaller - script.size() - 1, 'x') + "\n";
    }
    std::filesystem::path Told() const { return m_dir / "installer.fifo"; }
    // Once the installer it started has ended, with nothing registered, it is idle again.
    void ExpectIdleOnceTheInstallerEnded() {
        std::ifstream fifo(Told());
        pid_t pid = 0;
        ASSERT_TRUE(fifo >> pid);
        siginfo_t ended{};
        ASSERT_EQ(waitid(P_PID, static_cast<id_t>(pid), &ended, WEXITED | WNOWAIT), 0);
        EXPECT_EQ(ServiceInstaller::Instance().Status(), ServiceInstaller::kIdle);
    }

    vesk::test::TempDir m_dir;
};

TEST_F(InstallerDownloadTest, SlowLineThatKeepsDeliveringInstalls) {
    const std::string script = TellingInstaller();
    TricklingServer server({.body = script, .pieces = 12, .pause = 200ms});
    ServeFrom(server);
    ASSERT_TRUE(ServiceInstaller::Instance().Start(L"Vesk"));
    EXPECT_EQ(std::filesystem::file_size(Saved()), script.size());
    ExpectIdleOnceTheInstallerEnded();
}

// Whatever stood at the download folder's place (here a link to a folder of another
// program's), the installer lands as a new file in a folder made for it that only the user
// may enter, so no one can swap it between download and start.
TEST_F(InstallerDownloadTest, InstallerLandsNewInAFolderOnlyTheUserMayEnter) {
    const std::filesystem::path elsewhere = m_dir / "elsewhere";
    vesk::test::WriteFileBytes(elsewhere / "TSPInst.exe", "planted");
    std::filesystem::create_directories(m_dir / "cache");
    std::filesystem::create_symlink(elsewhere, m_dir / "cache" / "Tirsa_Temp");
    const std::string script = TellingInstaller();
    TricklingServer server({.body = script});
    ServeFrom(server);

    ASSERT_TRUE(ServiceInstaller::Instance().Start(L"Vesk"));
    EXPECT_EQ(vesk::test::ReadFileBytes(elsewhere / "TSPInst.exe"), "planted");
    const std::filesystem::path folder = Saved().parent_path();
    EXPECT_FALSE(std::filesystem::is_symlink(folder));
    struct stat info {};
    ASSERT_EQ(lstat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    EXPECT_EQ(vesk::test::ReadFileBytes(Saved()), script);

    ExpectIdleOnceTheInstallerEnded();
}

// Far larger than any installer: refused by its announced length, before its body comes.
TEST_F(InstallerDownloadTest, ADownloadLargerThanAnyInstallerIsNeitherKeptNorRun) {
    const std::filesystem::path huge = m_dir / "huge.exe";
    vesk::test::WriteFileBytes(huge, "#!/bin/sh\n");
    std::filesystem::resize_file(huge, vesk::tsp::kLargestInstaller + 1);
    vesk::test::TestHttpServer server;
    server.Serve("/tirsa/tsp/TSPInst.exe", {.file = huge});
    const std::string origin = server.Url("");
    setenv("VESK_TSP_DOWNLOAD_SERVER", origin.substr(0, origin.size() - 1).c_str(), 1);
    EXPECT_FALSE(ServiceInstaller::Instance().Start(L"Vesk"));
    EXPECT_FALSE(std::filesystem::exists(Saved()));
}

TEST_F(InstallerDownloadTest, ServerThatFallsSilentFailsTheInstall) {
    TricklingServer server(
        {.body = std::string(vesk::tsp::kSmallestInstaller, 'x'), .silent = true});
    ServeFrom(server);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ServiceInstaller::Instance().Start(L"Vesk"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_FALSE(std::filesystem::exists(Saved()));
    EXPECT_EQ(server.Requests(), 1);
}

}  // namespace
