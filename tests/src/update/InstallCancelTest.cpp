// The install in this process, cancelled: the package being unpacked is finished whole, with
// the user's catalogue merged into it, the rest is left for the next run, and nothing is
// recorded. The cancel's wait returns once the install has stopped.

#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "FolderWatch.h"
#include "InstallStop.h"
#include "TempDir.h"
#include "TestZip.h"
#include "UpdateLog.h"
#include "UpdateSettings.h"
#include "UpdateWorker.h"
#include "fs/HeldFile.h"
#include "text/Utf.h"

namespace {

namespace fs = std::filesystem;
using testing::HasSubstr;
using testing::Not;
using vesk::test::ReadFileBytes;
using vesk::test::WriteFileBytes;

const char kUserCatalogue[] =
    "<games><game id=\"7\" install=\"1\"><path installpath=\"/games/seven\"/></game></games>";
const char kPackagedCatalogue[] =
    "<games><game id=\"7\" install=\"0\"><path installpath=\"\"/></game></games>";
const char kCancelled[] = "Install cancelled, update not recorded.";
// Large enough that its unpacking is still under way when the cancel comes.
const std::size_t kPackSize = 64u << 20;

class InstallCancelTest : public testing::Test {
protected:
    InstallCancelTest() {
        fs::create_directories(m_dir / "tmp");
        WriteFileBytes(m_dir / "Config.ini", "[Locale]\r\nCount=1\r\n");
        WriteFileBytes(m_dir / "gameinfo.xml_0", kUserCatalogue);
        m_state->programFolder = m_dir.wide();
        m_state->version.installedVersion = L"1.0";
        TheUpdateSettings().downloadedPackages.clear();
        AddPackage("patch-1.1.zip", {{"gameinfo.xml_0", kPackagedCatalogue},
                                     {"client.pak", std::string(kPackSize, 'n')}});
        AddPackage("patch-1.2.zip", {{"data/second.txt", "second"}});
        OpenUpdateLog(m_dir.wide().c_str(), L"log.txt", L"w+");
    }
    ~InstallCancelTest() override {
        CloseUpdateLog();
        TheUpdateSettings().downloadedPackages.clear();
    }
    // A package downloaded and checked, as the install finds it.
    void AddPackage(const std::string& name, const std::vector<vesk::test::TestZipEntry>& entries) {
        const fs::path path = m_dir / "tmp" / name;
        vesk::test::WriteZip(path, entries);
        const std::wstring local = m_dir.wide() + L"tmp/" + vesk::text::Utf8ToWide(name);
        m_state->checkedPackages[local] = vesk::fs::HeldFile::Open(local);
        TheUpdateSettings().downloadedPackages.push_back(local);
    }
    bool Unpacking() const {
        for (const auto& entry : fs::directory_iterator(m_dir.path())) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with(".~client.pak.")) return true;
        }
        return false;
    }
    std::string Log() {
        CloseUpdateLog();
        const std::string log = ReadFileBytes(m_dir / "log.txt");
        OpenUpdateLog(m_dir.wide().c_str(), L"log.txt", L"a+");
        return log;
    }

    vesk::test::TempDir m_dir;
    std::shared_ptr<UpdateState> m_state = std::make_shared<UpdateState>();
};

TEST_F(InstallCancelTest, ACancelDuringAPackageLetsItFinishAndStopsTheRest) {
    std::thread install([state = m_state] { InstallThread(state); });
    ASSERT_TRUE(vesk::test::WaitForFolder(m_dir.path(), getpid(), [this] { return Unpacking(); }));
    m_state->BeginCancel();
    EXPECT_TRUE(WaitForInstallToStop(std::chrono::minutes(5)));
    install.join();

    EXPECT_EQ(fs::file_size(m_dir / "client.pak"), kPackSize);
    const std::string catalogue = ReadFileBytes(m_dir / "gameinfo.xml_0");
    EXPECT_THAT(catalogue, HasSubstr("installpath=\"/games/seven\""));
    EXPECT_FALSE(fs::exists(m_dir / "tmp/gameinfo.xml_0.user"));
    EXPECT_FALSE(fs::exists(m_dir / "data/second.txt"));
    EXPECT_FALSE(fs::exists(m_dir / "tmp/patch-1.1.zip"));
    EXPECT_TRUE(fs::exists(m_dir / "tmp/patch-1.2.zip"));
    EXPECT_THAT(Log(), HasSubstr(kCancelled));
}

TEST_F(InstallCancelTest, AnInstallAfterTheCancelBeganUnpacksNothing) {
    EXPECT_TRUE(WaitForInstallToStop(std::chrono::milliseconds(0)));
    m_state->BeginCancel();
    InstallThread(m_state);
    EXPECT_TRUE(WaitForInstallToStop(std::chrono::milliseconds(0)));
    EXPECT_EQ(ReadFileBytes(m_dir / "gameinfo.xml_0"), kUserCatalogue);
    EXPECT_FALSE(fs::exists(m_dir / "client.pak"));
    EXPECT_TRUE(fs::exists(m_dir / "tmp/patch-1.1.zip"));
    EXPECT_THAT(Log(), HasSubstr(kCancelled));
}

}  // namespace
