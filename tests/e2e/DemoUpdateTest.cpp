// The demo's update, end to end: three releases packaged by the packager, served by the demo
// update server together with the service's installer, both signed with the publisher's key,
// and an installation at 0001 that the real updater brings to 0003 through the service the
// library installs.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "Installation.h"

namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using vesk::test::ChildProcess;
using vesk::test::Installation;
using vesk::test::ReadFileBytes;
using vesk::test::WriteFileBytes;
namespace fs = std::filesystem;

void Release(const fs::path& dir, const std::string& number) {
    WriteFileBytes(dir / "readme.txt", "Welcome to Vesk, release " + number + ".\n");
    WriteFileBytes(dir / "gameinfo.xml_0",
                   "<?xml version=\"1.0\" ?>\n<games>\n<game id=\"7\" name=\"Racer " + number +
                       "\" install=\"0\"><path installpath=\"\"/></game>\n</games>\n");
    // Unchanged data that makes the full package larger than the chain of small ones.
    std::string data(200000, '\0');
    std::uint32_t state = 12345;  // the same bytes in every release, which do not compress
    for (char& c : data) c = static_cast<char>((state = state * 1103515245u + 12345u) >> 24);
    WriteFileBytes(dir / "client.pak", data);
    if (number != "0001") WriteFileBytes(dir / "images/banner.png", "a new image");
}

class DemoUpdate : public testing::Test {
protected:
    DemoUpdate() : m_root(m_install.programFolder().parent_path()) {
        vesk::test::BecomeSubreaper();
        for (const char* number : {"0001", "0002", "0003"})
            Release(m_root / "releases" / number, number);
        fs::create_directories(m_root / "served/tirsa/tsp");
        fs::copy_file(VESK_TSP_INSTALLER, m_root / "served/tirsa/tsp/TSPInst.exe");
    }
    ~DemoUpdate() override {
        vesk::test::KillProgramsUnder(m_install.home().string());
        m_server.Kill();
        m_server.Wait();
        vesk::test::ReapChildrenExcept({});
    }
    std::string StartServer() {
        EXPECT_TRUE(
            m_server.Start(VESK_UPDATE_SERVER, {.args = {"--root", (m_root / "served").string()}}));
        const std::string line = m_server.ReadLine().value_or("");
        return line.substr(line.find("http://"));
    }
    // Makes a signing key, as the demo's publisher does, signs the service's installer with
    // it, and makes the signed chain of releases.
    int Package(const std::string& url) {
        ChildProcess keygen;
        keygen.Start(VESK_PACKAGER,
                     {.args = {"keygen", "--out", (m_root / "update_key").string()}});
        if (const int code = keygen.Wait(); code != 0) return code;
        ChildProcess sign;
        sign.Start(VESK_PACKAGER, {.args = {"sign", "--key", (m_root / "update_key").string(),
                                            (m_root / "served/tirsa/tsp/TSPInst.exe").string()}});
        if (const int code = sign.Wait(); code != 0) return code;
        ChildProcess packager;
        packager.Start(
            VESK_PACKAGER,
            {.args = {"chain", "--releases", (m_root / "releases/0001").string(),
                      (m_root / "releases/0002").string(), (m_root / "releases/0003").string(),
                      "--ids", "0001", "0002", "0003", "--out",
                      (m_root / "served/updates").string(), "--base-url", url + "updates/",
                      "--sign", (m_root / "update_key").string()}});
        return packager.Wait();
    }

    Installation m_install;
    fs::path m_root;
    ChildProcess m_server;
};

TEST_F(DemoUpdate, AnInstallationAt0001IsBroughtTo0003ThroughTheService) {
    const std::string url = StartServer();
    ASSERT_EQ(Package(url), 0);
    fs::copy(m_root / "releases/0001", m_install.programFolder(), fs::copy_options::recursive);
    m_install.AddDemoStringTable();
    m_install.AddTheme();
    m_install.AddClient();
    m_install.AddTransferLibrary();
    // The installation accepts only what the publisher's key signed.
    fs::copy_file(m_root / "update_key.pub", m_install.programFolder() / "update_key.pub");
    fs::create_directories(m_install.programFolder() / "tmp");
    m_install.AddFile("Config.ini",
                      "[Locale]\r\nLanguage=1\r\nCount=1\r\n[VeskVersionURL]\r\n"
                      "UpdateAddress=" +
                          url + "updates/\r\n");
    m_install.AddFile("version.ini", "[versioninfo]\r\nversion=0001\r\nurl=" + url +
                                         "updates/veskversion.xml\r\n");
    // The user's own state of game 7.
    m_install.AddFile("gameinfo.xml_0",
                      "<games><game id=\"7\" name=\"Racer 0001\" install=\"1\">"
                      "<path installpath=\"/games/racer\"/></game></games>\n");
    m_install.SetEnv("VESK_TSP_DOWNLOAD_SERVER", url.substr(0, url.size() - 1));
    // The library waits for a real installer and service: time runs fast instead of jumping.
    m_install.SetEnv("VESK_CLOCK", "scaled:10");

    std::string errors;
    ChildProcess updater;
    ASSERT_TRUE(
        updater.Start(m_install.UpdaterPath(), m_install.UpdaterOptions({"7", "u", "t", "1"})));
    EXPECT_EQ(updater.Wait(), 0) << updater.Error();
    m_server.Kill();
    m_server.Wait();
    const std::string requests = m_server.Error();

    const fs::path folder = m_install.programFolder();
    EXPECT_THAT(ReadFileBytes(folder / "version.ini"), HasSubstr("version=0003"));
    EXPECT_EQ(ReadFileBytes(folder / "readme.txt"), "Welcome to Vesk, release 0003.\n");
    EXPECT_EQ(ReadFileBytes(folder / "images/banner.png"), "a new image");
    const std::string catalogue = ReadFileBytes(folder / "gameinfo.xml_0");
    EXPECT_THAT(catalogue, HasSubstr("Racer 0003"));
    EXPECT_THAT(catalogue, HasSubstr("installpath=\"/games/racer\""));
    // The installer came from the demo server with its signature, and the two small packages
    // through the service, which asks for byte ranges; the full package was never needed.
    EXPECT_THAT(requests, HasSubstr("GET /tirsa/tsp/TSPInst.exe "));
    EXPECT_THAT(requests, HasSubstr("GET /tirsa/tsp/TSPInst.exe.sig "));
    EXPECT_THAT(requests, HasSubstr("GET /updates/patch-0002.zip bytes="));
    EXPECT_THAT(requests, HasSubstr("GET /updates/patch-0003.zip bytes="));
    EXPECT_THAT(requests, testing::Not(HasSubstr("full-0003.zip")));
    // The service the library installed runs on from the home folder; the client ends by itself.
    vesk::test::KillProgramsUnder(m_install.home().string());
    vesk::test::ReapChildrenExcept({});
    EXPECT_THAT(m_install.ClientStarts(), ElementsAre("noupdate 7 u t 1"));
}

}  // namespace
