// The whole update on the display backend, on a virtual X display of the test's own: the
// window photographed while it downloads through the service, and the error box answered by a
// click on its button. The pictures come from the backend itself and stay in the build tree
// (artefacts/sdl-update/) for a person to look at.

#include <signal.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "FolderWatch.h"
#include "UpdateScenario.h"
#include "VirtualDisplay.h"
#include "gfx/Bitmap.h"

namespace {

namespace fs = std::filesystem;
using testing::ElementsAre;
using testing::IsSupersetOf;
using vesk::test::ChildProcess;
using vesk::test::ScenarioPackage;
using vesk::test::ScenarioRun;
using vesk::test::UpdateScenario;
using vesk::test::VirtualDisplay;
using vesk::test::WaitForFolder;

// The pictures one test keeps, in a folder emptied for each run.
fs::path ArtefactFolder() {
    const fs::path folder = fs::path(VESK_ARTEFACTS) / "sdl-update" /
                            testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

// The picture whose name ends so ("Vesk_Update-asked.png"), or an empty path.
fs::path Picture(const fs::path& folder, const std::string& ending) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.ends_with(ending)) return entry.path();
    }
    return {};
}

std::vector<std::string> PictureNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string().substr(4));
    std::sort(names.begin(), names.end());
    return names;
}

// A picture of a window shows the window: its size, and more than one colour.
void ExpectAWindowPicture(const fs::path& path, int width, int height) {
    const vesk::gfx::Bitmap picture = vesk::gfx::Bitmap::FromFile(path.string());
    ASSERT_FALSE(picture.IsEmpty()) << path;
    EXPECT_EQ(picture.Width(), width) << path;
    EXPECT_EQ(picture.Height(), height) << path;
    bool varied = false;
    for (int y = 0; y < picture.Height() && !varied; y += 3)
        for (int x = 0; x < picture.Width() && !varied; x += 3)
            varied = picture.Pixel(x, y) != picture.Pixel(0, 0);
    EXPECT_TRUE(varied) << path << " is one colour";
}

class SdlUpdate : public testing::Test {
protected:
    void SetUp() override {
        if (m_display.name().empty()) GTEST_SKIP() << "no Xvfb to show windows on";
        m_pictures = ArtefactFolder();
        // The real display backend; time runs faster so the pauses and fades stay short.
        m_scenario.install().SetEnv("DISPLAY", m_display.name());
        m_scenario.install().SetEnv("VESK_UI", "sdl");
        m_scenario.install().SetEnv("VESK_UI_SNAPSHOTS", m_pictures.string());
        m_scenario.install().SetEnv("VESK_CLOCK", "scaled:5");
        m_scenario.KeepChild(m_display.pid());
    }

    // Until the picture is there; false when the updater ended first.
    bool WaitForPicture(const ChildProcess& updater, const std::string& ending) {
        return WaitForFolder(m_pictures, updater.pid(),
                             [&] { return !Picture(m_pictures, ending).empty(); });
    }
    int StatusPolls() {
        const std::vector<std::string> requests = m_scenario.ServiceRequests();
        return static_cast<int>(std::count(requests.begin(), requests.end(), "transfer.status"));
    }

    VirtualDisplay m_display;
    UpdateScenario m_scenario;
    fs::path m_pictures;
};

TEST_F(SdlUpdate, TheWindowShowsTheDownloadThroughTheServiceAndTheUpdateSucceeds) {
    // Half of an incompressible package arrives, then the server holds the rest.
    std::string payload(512 * 1024, '\0');
    std::mt19937 random(7);
    for (char& c : payload) c = static_cast<char>(random());
    ScenarioPackage latest{"1.9", "full-1.9.zip", {{"data/full.txt", "full"}}};
    latest.size = 50 << 20;
    m_scenario.Publish({{"1.1", "patch-1.1.zip", {{"data/game.pak", payload}}}}, latest);
    const std::string package = m_scenario.PackageBytes("patch-1.1.zip");
    // The service's first request only looks at the package; the second fetches it.
    m_scenario.server().ServeSequence(
        "/updates/patch-1.1.zip",
        {{.body = package}, {.body = package, .holdAt = package.size() / 2}});
    ASSERT_TRUE(m_scenario.StartService());

    const auto updater = m_scenario.Start({"12", "user", "token", "1"});
    ASSERT_TRUE(updater);
    m_scenario.server().WaitUntilHeld();
    // Two polls after the hold: the window has shown what arrived before it is photographed.
    const int polls = StatusPolls();
    ASSERT_TRUE(WaitForFolder(m_scenario.serviceFolder(), updater->pid(),
                              [&] { return StatusPolls() >= polls + 2; }));
    kill(updater->pid(), SIGUSR1);
    const bool photographed = WaitForPicture(*updater, "-Vesk_Update-asked.png");
    m_scenario.server().Release();
    const ScenarioRun run = m_scenario.Finish(*updater);

    EXPECT_TRUE(photographed);
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_THAT(run.Flow(), ElementsAre("UPdate success and start VESKClient,exit."));
    EXPECT_THAT(run.clientStarts, ElementsAre("noupdate 12 user token 1"));
    EXPECT_EQ(m_scenario.InstalledVersion(), "1.9");
    // The window as it showed and while it downloaded (the process ends without closing it);
    // a hover tip may have shown beside it, where the display put the pointer.
    EXPECT_THAT(PictureNames(m_pictures),
                IsSupersetOf({"Vesk_Update-shown.png", "Vesk_Update-asked.png"}));
    const fs::path shown = Picture(m_pictures, "-Vesk_Update-shown.png");
    const vesk::gfx::Bitmap window = vesk::gfx::Bitmap::FromFile(shown.string());
    EXPECT_GT(window.Width(), 300);
    ExpectAWindowPicture(shown, window.Width(), window.Height());
    ExpectAWindowPicture(Picture(m_pictures, "-Vesk_Update-asked.png"), window.Width(),
                         window.Height());
}

TEST_F(SdlUpdate, TheErrorBoxWaitsForAClickOnItsButton) {
    if (!VirtualDisplay::CanAct()) GTEST_SKIP() << "no xdotool to click with";
    m_scenario.server().Serve("/updates/veskversion.xml", {.status = 500});
    const auto updater = m_scenario.Start();
    ASSERT_TRUE(updater);
    ASSERT_TRUE(WaitForPicture(*updater, "-Error-shown.png"));
    const vesk::gfx::Bitmap box =
        vesk::gfx::Bitmap::FromFile(Picture(m_pictures, "-Error-shown.png").string());
    ASSERT_FALSE(box.IsEmpty());

    // The box stays until its button is pressed, as a user presses it: the pointer moved over
    // the button and clicked, through the X server. The click comes as the box takes the focus
    // back from the window behind it, and the updater gets to both at once, as on a busy
    // machine: it is held while the display queues them. The click must still press the button.
    const std::string window = m_display.WindowOfSize(updater->pid(), box.Width(), box.Height());
    ASSERT_FALSE(window.empty());
    const vesk::gfx::Bitmap main =
        vesk::gfx::Bitmap::FromFile(Picture(m_pictures, "-Vesk_Update-shown.png").string());
    const std::string behind = m_display.WindowOfSize(updater->pid(), main.Width(), main.Height());
    ASSERT_FALSE(behind.empty());
    const std::string x = std::to_string(box.Width() / 2 + 3);
    const std::string y = std::to_string(box.Height() - 27);
    kill(updater->pid(), SIGSTOP);
    EXPECT_TRUE(m_display.Xdotool({"windowfocus", "--sync", behind, "windowfocus", "--sync", window,
                                   "mousemove", "--window", window, x, y, "click", "1"}));
    kill(updater->pid(), SIGCONT);
    const ScenarioRun run = m_scenario.Finish(*updater);

    EXPECT_EQ(run.exitCode, 1) << run.errors;
    EXPECT_THAT(run.Flow(), ElementsAre("download failed,exit."));
    EXPECT_THAT(run.clientStarts, ElementsAre("noupdate"));
    EXPECT_FALSE(Picture(m_pictures, "-Error-closed.png").empty());
    ExpectAWindowPicture(Picture(m_pictures, "-Error-shown.png"), box.Width(), box.Height());
}

}  // namespace
