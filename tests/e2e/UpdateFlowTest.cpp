// The update's flow under faults, run by the real updater: offline the download through the
// service still goes on, and a user's cancel (a click on the real display backend, on a
// virtual X display of the test's own) during a download through the service, a direct one or
// an install ends the run with 1, starts no client and records nothing; the next run
// completes.

#include <signal.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "FolderWatch.h"
#include "UpdateScenario.h"
#include "VirtualDisplay.h"
#include "gfx/Bitmap.h"

namespace {

namespace fs = std::filesystem;
using testing::Contains;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;
using vesk::test::ChildProcess;
using vesk::test::ScenarioPackage;
using vesk::test::ScenarioRun;
using vesk::test::UpdateScenario;
using vesk::test::VirtualDisplay;
using vesk::test::WaitForFolder;

constexpr const char* kShown = "-Vesk_Update-shown.png";
constexpr const char* kAsked = "-Vesk_Update-asked.png";

// A chain of one package and a large latest one, so the chain is what downloads.
void PublishChain(UpdateScenario& scenario) {
    ScenarioPackage latest{"1.9", "full-1.9.zip", {{"data/full.txt", "full"}}};
    latest.size = 50 << 20;
    scenario.Publish({{"1.1", "patch-1.1.zip", {{"data/part1.txt", "content of 1.1"}}}}, latest);
}

TEST(UpdateFlow, OfflineTheDownloadThroughTheServiceGoesOn) {
    UpdateScenario scenario;
    PublishChain(scenario);
    scenario.install().SetEnv("VESK_INTERNET", "offline");
    ASSERT_TRUE(scenario.StartService());
    const ScenarioRun run = scenario.Run();
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_THAT(run.Flow(), testing::ElementsAre("UPdate success and start VESKClient,exit."));
    EXPECT_EQ(scenario.InstalledVersion(), "1.9");
    EXPECT_THAT(run.errors, Not(HasSubstr("Sanitizer")));
}

std::vector<fs::path> PicturesEnding(const fs::path& folder, const std::string& ending) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().ends_with(ending)) found.push_back(entry.path());
    std::sort(found.begin(), found.end());
    return found;
}

// The cancel button's place in the window: 79 x 25 at 100 and 50 from the right and bottom.
vesk::gfx::Rect CancelButton(int width, int height) {
    return vesk::gfx::Rect::FromXywh(width - 100, height - 50, 79, 25);
}

bool SameArea(const vesk::gfx::Bitmap& a, const vesk::gfx::Bitmap& b, vesk::gfx::Rect area) {
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (a.Pixel(x, y) != b.Pixel(x, y)) return false;
    return true;
}

class UpdateCancel : public testing::Test {
protected:
    void SetUp() override {
        if (m_display.name().empty() || !VirtualDisplay::CanAct())
            GTEST_SKIP() << "no Xvfb and xdotool to click with";
        m_pictures = m_scenario.folder().parent_path() / "pictures";
        fs::create_directories(m_pictures);
        m_scenario.install().SetEnv("DISPLAY", m_display.name());
        m_scenario.install().SetEnv("VESK_UI", "sdl");
        m_scenario.install().SetEnv("VESK_UI_SNAPSHOTS", m_pictures.string());
        m_scenario.install().SetEnv("VESK_CLOCK", "scaled:5");
        m_scenario.KeepChild(m_display.pid());
        PublishChain(m_scenario);
        m_package = m_scenario.PackageBytes("patch-1.1.zip");
    }

    bool WaitForPictures(const ChildProcess& updater, const std::string& ending, size_t count) {
        return WaitForFolder(m_pictures, updater.pid(),
                             [&] { return PicturesEnding(m_pictures, ending).size() >= count; });
    }
    bool Click(const std::string& window, int x, int y) {
        return m_display
            .Xdotool({"windowfocus", "--sync", window, "mousemove", "--window", window,
                      std::to_string(x), std::to_string(y), "click", "1"})
            .has_value();
    }
    // Until a picture the updater takes when asked shows the cancel button, which its first
    // picture does not; false when the updater ended first.
    bool WaitForCancelButton(const ChildProcess& updater, const vesk::gfx::Bitmap& shown) {
        const vesk::gfx::Rect button = CancelButton(shown.Width(), shown.Height());
        const size_t before = PicturesEnding(m_pictures, kAsked).size();
        for (size_t asked = before + 1; asked <= before + 100; ++asked) {
            kill(updater.pid(), SIGUSR1);
            if (!WaitForPictures(updater, kAsked, asked)) return false;
            const auto picture =
                vesk::gfx::Bitmap::FromFile(PicturesEnding(m_pictures, kAsked).back().string());
            if (!picture.IsEmpty() && !SameArea(picture, shown, button)) return true;
        }
        return false;
    }
    // Clicks the window's cancel button once it shows; then the run to its end.
    ScenarioRun CancelWhenTheButtonShows(ChildProcess& updater) {
        EXPECT_TRUE(WaitForPictures(updater, kShown, 1));
        const auto shown =
            vesk::gfx::Bitmap::FromFile(PicturesEnding(m_pictures, kShown).front().string());
        EXPECT_TRUE(WaitForCancelButton(updater, shown));
        const std::string window =
            m_display.WindowOfSize(updater.pid(), shown.Width(), shown.Height());
        EXPECT_FALSE(window.empty());
        const vesk::gfx::Rect button = CancelButton(shown.Width(), shown.Height());
        EXPECT_TRUE(
            Click(window, button.left + button.Width() / 2, button.top + button.Height() / 2));
        return m_scenario.FinishStoppingServices(updater);
    }
    void ExpectCancelled(const ScenarioRun& run) {
        EXPECT_EQ(run.exitCode, 1) << run.errors;
        EXPECT_THAT(run.Flow(), Contains("Cancel update,exit"));
        EXPECT_THAT(run.Flow(), Not(Contains("download failed,exit.")));
        EXPECT_THAT(run.errors, Not(HasSubstr("Message box: Error\nThe update failed")));
        EXPECT_THAT(run.clientStarts, IsEmpty());
        EXPECT_EQ(m_scenario.InstalledVersion(), "1.0");
        EXPECT_THAT(run.errors, Not(HasSubstr("Sanitizer")));
    }
    // The next run, with nothing held, on the headless backend.
    void ExpectTheNextRunCompletes() {
        m_scenario.server().Release();
        m_scenario.install().SetEnv("VESK_UI", "headless");
        m_scenario.install().SetEnv("VESK_CLOCK", "virtual");
        // Where a service was registered, the library starts it itself now.
        const auto updater = m_scenario.Start();
        ASSERT_TRUE(updater);
        const ScenarioRun next = m_scenario.FinishStoppingServices(*updater);
        EXPECT_EQ(next.exitCode, 0) << next.errors;
        EXPECT_EQ(m_scenario.InstalledVersion(), "1.9");
        EXPECT_THAT(next.clientStarts, testing::ElementsAre("noupdate"));
    }

    VirtualDisplay m_display;
    UpdateScenario m_scenario;
    fs::path m_pictures;
    std::string m_package;
};

TEST_F(UpdateCancel, DuringADownloadThroughTheService) {
    // The service's first request only looks at the package; the second fetches it, held.
    m_scenario.server().ServeSequence(
        "/updates/patch-1.1.zip",
        {{.body = m_package}, {.body = m_package, .holdAt = m_package.size() / 2}});
    ASSERT_TRUE(m_scenario.StartService());
    const auto updater = m_scenario.Start();
    ASSERT_TRUE(updater);
    m_scenario.server().WaitUntilHeld();
    ExpectCancelled(CancelWhenTheButtonShows(*updater));
    EXPECT_FALSE(fs::exists(m_scenario.folder() / "data/part1.txt"));
    EXPECT_THAT(m_scenario.ServiceRequests(), Contains("transfer.start"));
    ExpectTheNextRunCompletes();
}

TEST_F(UpdateCancel, WhenTheRestartItsAnswerAsksForFails) {
    m_scenario.server().ServeSequence(
        "/updates/patch-1.1.zip",
        {{.body = m_package}, {.body = m_package, .holdAt = m_package.size() / 2}});
    // The transfer's cancel is answered as by a service that must be restarted...
    ASSERT_TRUE(m_scenario.StartService({"--fault", "transfer.cancel=http-500"}));
    const auto updater = m_scenario.Start();
    ASSERT_TRUE(updater);
    m_scenario.server().WaitUntilHeld();
    // ...and the service, once down, can no longer be launched.
    const fs::path program = m_scenario.serviceFolder() / "TSP.exe";
    fs::permissions(program, fs::perms::owner_read);
    ExpectCancelled(CancelWhenTheButtonShows(*updater));
    const auto requests = m_scenario.ServiceRequests();
    EXPECT_EQ(std::count(requests.begin(), requests.end(), "transfer.cancel"), 1);
    EXPECT_THAT(requests, Contains("shutdown"));
    fs::permissions(program, fs::perms::owner_all);
    ExpectTheNextRunCompletes();
}

TEST_F(UpdateCancel, WhileTheLibraryRestartsTheServiceTheWindowPaintsAndCancelEndsTheRun) {
    m_scenario.server().ServeSequence(
        "/updates/patch-1.1.zip",
        {{.body = m_package}, {.body = m_package, .holdAt = m_package.size() / 2}});
    // The first poll gets no answer, so the library restarts the service; the one it starts
    // is slow to log in, so the library waits in the restart for two minutes of its clock.
    ASSERT_TRUE(m_scenario.StartService({"--fault", "transfer.status=no-reply"}));
    m_scenario.install().SetEnv("VESK_TSP_OPTIONS", "--login-delay 3600000");
    const auto updater = m_scenario.Start();
    ASSERT_TRUE(updater);
    ASSERT_TRUE(WaitForPictures(*updater, kShown, 1));
    const auto shown =
        vesk::gfx::Bitmap::FromFile(PicturesEnding(m_pictures, kShown).front().string());
    ASSERT_TRUE(WaitForFolder(m_scenario.serviceFolder(), updater->pid(), [&] {
        const std::vector<std::string> requests = m_scenario.ServiceRequests();
        return std::find(requests.begin(), requests.end(), "shutdown") != requests.end();
    }));
    // From here the library waits for the new service's login; the window answers at once.
    const auto restarting = std::chrono::steady_clock::now();
    EXPECT_TRUE(WaitForCancelButton(*updater, shown));
    for (int more = 0; more < 3; ++more) {
        const size_t asked = PicturesEnding(m_pictures, kAsked).size() + 1;
        kill(updater->pid(), SIGUSR1);
        ASSERT_TRUE(WaitForPictures(*updater, kAsked, asked));
    }
    const std::string window =
        m_display.WindowOfSize(updater->pid(), shown.Width(), shown.Height());
    ASSERT_FALSE(window.empty());
    const vesk::gfx::Rect button = CancelButton(shown.Width(), shown.Height());
    EXPECT_TRUE(Click(window, button.left + button.Width() / 2, button.top + button.Height() / 2));
    const ScenarioRun run = m_scenario.FinishStoppingServices(*updater);
    // Far less than the library's wait, which lasts 24 s at this clock's pace.
    EXPECT_LT(std::chrono::steady_clock::now() - restarting, std::chrono::seconds(8));
    ExpectCancelled(run);
    EXPECT_THAT(run.Flow(), Not(Contains(HasSubstr("download error"))));
}

TEST_F(UpdateCancel, DuringADirectDownload) {
    // No service: the connection box is answered by a click, then the package is held.
    m_scenario.server().Serve("/updates/patch-1.1.zip",
                              {.body = m_package, .holdAt = m_package.size() / 2});
    const auto updater = m_scenario.Start();
    ASSERT_TRUE(updater);
    ASSERT_TRUE(WaitForPictures(*updater, "-Error-shown.png", 1));
    const auto box = vesk::gfx::Bitmap::FromFile(
        PicturesEnding(m_pictures, "-Error-shown.png").front().string());
    const std::string boxWindow = m_display.WindowOfSize(updater->pid(), box.Width(), box.Height());
    ASSERT_FALSE(boxWindow.empty());
    EXPECT_TRUE(Click(boxWindow, box.Width() / 2 + 3, box.Height() - 27));
    m_scenario.server().WaitUntilHeld();
    ExpectCancelled(CancelWhenTheButtonShows(*updater));
    EXPECT_FALSE(fs::exists(m_scenario.folder() / "data/part1.txt"));
    EXPECT_EQ(m_scenario.server().RequestCount("/updates/patch-1.1.zip"), 1);
    ExpectTheNextRunCompletes();
}

TEST_F(UpdateCancel, DuringAnInstall) {
    // A first package large enough to be still unpacking when the click comes, and a second.
    const std::size_t bigSize = 128u << 20;
    ScenarioPackage latest{"1.9", "full-1.9.zip", {{"data/full.txt", "full"}}};
    latest.size = 50 << 20;
    m_scenario.Publish({{"1.1",
                         "patch-1.1.zip",
                         {{"client.pak", std::string(bigSize, 'n')}, {"data/part1.txt", "1.1"}}},
                        {"1.2", "patch-1.2.zip", {{"data/second.txt", "1.2"}}}},
                       latest);
    ASSERT_TRUE(m_scenario.StartService());
    const auto updater = m_scenario.Start();
    ASSERT_TRUE(updater);
    ASSERT_TRUE(WaitForPictures(*updater, kShown, 1));
    const auto shown =
        vesk::gfx::Bitmap::FromFile(PicturesEnding(m_pictures, kShown).front().string());
    const std::string window =
        m_display.WindowOfSize(updater->pid(), shown.Width(), shown.Height());
    ASSERT_FALSE(window.empty());
    // The big entry is written under a passing name until it is whole.
    const fs::path folder = m_scenario.folder();
    ASSERT_TRUE(WaitForFolder(folder, updater->pid(), [&] {
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().filename().string().starts_with(".~client.pak.")) return true;
        return false;
    }));
    const vesk::gfx::Rect button = CancelButton(shown.Width(), shown.Height());
    EXPECT_TRUE(Click(window, button.left + button.Width() / 2, button.top + button.Height() / 2));
    const ScenarioRun run = m_scenario.FinishStoppingServices(*updater);

    ExpectCancelled(run);
    // The package on its way was finished whole; the next one was left for the next run.
    EXPECT_EQ(fs::file_size(folder / "client.pak"), bigSize);
    EXPECT_FALSE(fs::exists(folder / "data/second.txt"));
    ExpectTheNextRunCompletes();
    EXPECT_TRUE(fs::exists(folder / "data/second.txt"));
}

}  // namespace
