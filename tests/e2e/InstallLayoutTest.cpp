// The program folder `cmake --install` lays out: exactly what an installation needs, each file
// the one the build made, and an updater that runs from there on its own.

#include <dlfcn.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "ChildProcess.h"
#include "Installation.h"
#include "TempDir.h"

namespace {

using testing::HasSubstr;
using vesk::test::ChildProcess;
using vesk::test::Installation;
using vesk::test::ReadFileBytes;
using vesk::test::TempDir;
using vesk::test::WriteFileBytes;
namespace fs = std::filesystem;

const char kThemeFolder[] = "themes/classic/";

class InstallLayout : public testing::Test {
protected:
    InstallLayout() : m_folder(m_dir / "Vesk") {}
    void SetUp() override {
        ChildProcess cmake;
        ASSERT_TRUE(cmake.Start(
            VESK_CMAKE, {.args = {"--install", VESK_BUILD_DIR, "--prefix", m_folder.string()}}));
        ASSERT_EQ(cmake.Wait(), 0) << cmake.Output() << cmake.Error();
    }

    TempDir m_dir;
    fs::path m_folder;
};

std::vector<std::string> ThemeImages() {
    std::vector<std::string> names;
    for (const auto& image : fs::directory_iterator(VESK_THEME_DIR))
        names.push_back(image.path().filename().string());
    return names;
}

TEST_F(InstallLayout, HoldsTheProgramFolderAndNothingElse) {
    std::set<std::string> expected = {
        "Config.ini", "TSPWrapperLib.dll", "VeskClient.exe", "VeskClient_String_Table.dat",
        "VeskUpdate", "themes/",           kThemeFolder,     "tmp/"};
    const std::vector<std::string> images = ThemeImages();
    ASSERT_FALSE(images.empty());
    for (const std::string& image : images) expected.insert(kThemeFolder + image);

    std::set<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(m_folder)) {
        const std::string name = entry.path().lexically_relative(m_folder).string();
        found.insert(entry.is_directory() ? name + "/" : name);
    }
    EXPECT_EQ(found, expected);
    EXPECT_TRUE(fs::is_empty(m_folder / "tmp"));
}

TEST_F(InstallLayout, EachFileIsTheOneTheBuildMade) {
    std::vector<std::pair<std::string, fs::path>> copies = {
        {"Config.ini", VESK_DEMO_CONFIG},
        {"VeskClient_String_Table.dat", VESK_DEMO_STRING_TABLE},
    };
    for (const std::string& image : ThemeImages())
        copies.emplace_back(kThemeFolder + image, fs::path(VESK_THEME_DIR) / image);
    for (const auto& [installed, built] : copies) {
        EXPECT_EQ(ReadFileBytes(m_folder / installed), ReadFileBytes(built)) << installed;
    }
    for (const char* program : {"VeskUpdate", "VeskClient.exe"}) {
        EXPECT_EQ(access((m_folder / program).c_str(), X_OK), 0) << program;
    }
}

TEST_F(InstallLayout, TheLibraryLoadsFromTheFolderAlone) {
    void* library = dlopen((m_folder / "TSPWrapperLib.dll").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    EXPECT_NE(dlsym(library, "TSP_Lib_StartTransfer"), nullptr);
    dlclose(library);
}

// Bound and never listening: every connection to its port is refused while it lives.
class ClosedPort {
public:
    ClosedPort() : m_fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(m_fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
            getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            m_port = ntohs(address.sin_port);
    }
    ~ClosedPort() { close(m_fd); }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }
    int port() const { return m_port; }

private:
    int m_fd;
    int m_port = 0;
};

TEST_F(InstallLayout, TheInstalledUpdaterRunsAndFailsWithoutAServer) {
    vesk::test::BecomeSubreaper();
    const ClosedPort closed;
    ASSERT_NE(closed.port(), 0);
    WriteFileBytes(m_folder / "version.ini", "[versioninfo]\r\nversion=1.0\r\nurl=" +
                                                 closed.Url("/updates/veskversion.xml") + "\r\n");
    // A user of its own (home, settings, headless, virtual clock); the program is the installed
    // one.
    Installation user;
    user.SetEnv("VESK_TSP_DOWNLOAD_SERVER", closed.Url(""));
    ChildProcess updater;
    ASSERT_TRUE(updater.Start((m_folder / "VeskUpdate").string(), user.UpdaterOptions()));
    EXPECT_EQ(updater.Wait(), 1) << updater.Error();
    vesk::test::ReapChildrenExcept({});

    EXPECT_THAT(updater.Error(),
                HasSubstr("Message box: Error\nThe update failed. Please try again later."));
    EXPECT_THAT(ReadFileBytes(m_folder / "VESKUpdateLog.txt"), HasSubstr("download failed,exit."));
    // The installed client was found and started, and the version stays.
    EXPECT_THAT(ReadFileBytes(m_folder / "VeskClient.starts"), HasSubstr("noupdate"));
    EXPECT_THAT(ReadFileBytes(m_folder / "version.ini"), HasSubstr("version=1.0"));
}

}  // namespace
