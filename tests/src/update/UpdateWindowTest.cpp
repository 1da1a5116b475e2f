// The update window in this process on the headless backend: its keys, its dragging, and a
// cancel while the real service downloads through the real library from a held server.

#include <stdlib.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <fstream>

#include "ChildProcess.h"
#include "SkinSource.h"
#include "StringTable.h"
#include "TempDir.h"
#include "TestHttpServer.h"
#include "TransferBinding.h"
#include "UiFixture.h"
#include "UpdateLog.h"
#include "UpdateMessages.h"
#include "UpdateSettings.h"
#include "UpdateWindowMessages.h"
#include "VeskUpdateDlg.h"
#include "WorkerThreads.h"
#include "fs/Paths.h"
#include "net/InternetConnection.h"
#include "registry/HiveText.h"
#include "text/Utf.h"

namespace {

using namespace vesk;

constexpr ui::WPARAM kKeepTurningTimer = 4242;
using test::ReadFileBytes;
using test::WriteFileBytes;

// An installation in a temporary folder, with this process's settings, texts and theme
// pointing into it.
class UpdateWindowTest : public ui::test::UiFixture {
protected:
    UpdateWindowTest() {
        for (const auto& image : std::filesystem::directory_iterator(VESK_THEME_DIR)) {
            std::filesystem::create_directories(m_folder / "themes/classic");
            std::filesystem::copy_file(image.path(),
                                       m_folder / "themes/classic" / image.path().filename());
        }
        std::filesystem::create_directories(m_folder / "tmp");
        std::filesystem::copy_file(VESK_DEMO_STRING_TABLE,
                                   m_folder / "VeskClient_String_Table.dat");
        TheStringTable().Load(m_folder.wide() + L"VeskClient_String_Table.dat", 0);
        WriteFileBytes(m_folder / "Config.ini",
                       "[VeskVersionURL]\r\nUpdateAddress=" + m_server.Url("/updates/") + "\r\n");
        WriteFileBytes(m_folder / "version.ini", "[versioninfo]\r\nversion=1.0\r\nurl=" +
                                                     m_server.Url("/updates/veskversion.xml") +
                                                     "\r\n");
        TheUpdateSettings().programFolder = m_folder.wide();
        TheUpdateSettings().downloadedPackages.clear();
        SetSkinSource({[](std::wstring_view key) { return TheStringTable().GetString(key); },
                       m_folder.wide(), 1});
        OpenUpdateLog(m_folder.wide().c_str(), L"VESKUpdateLog.txt", L"w+");
        net::SetInternetConnectedForTesting(true);
    }
    ~UpdateWindowTest() override {
        m_server.Release();
        // The window's workers may still be on their way out, inside the library.
        WaitForDetachedThreads();
        CloseUpdateLog();
        ReleaseTransferLibrary();
        // A service the library started again in the test's place is not the test's child.
        test::KillProgramsUnder((m_folder / "tsp").string());
        net::SetInternetConnectedForTesting(std::nullopt);
        SetSkinSource({});
    }
    // Runs the window; the first time the loop waits with `ready` true, acts.
    int RunWith(CVeskUpdateDlg& window, const std::function<bool()>& ready,
                const std::function<void()>& act) {
        bool acted = false;
        Sys().SetIdleObserver([&] {
            if (acted || !window.IsCreated() || !ready()) return;
            acted = true;
            act();
        });
        const int result = window.DoModal();
        Sys().SetIdleObserver({});
        return result;
    }
    void Click(ui::Window& w) {
        const gfx::Rect r = w.GetClientRect();
        const gfx::Point p = w.ClientToScreen({r.Width() / 2, r.Height() / 2});
        Backend().MoveMouse(p);
        Backend().Press(p);
        Backend().Release(p);
    }

    // The service, registered for this process's user and running, and the library beside
    // the program.
    bool StartService(test::ChildProcess& service, std::vector<std::string> options = {}) {
        const std::filesystem::path home = m_folder / "home";
        const std::filesystem::path tsp = m_folder / "tsp";
        std::filesystem::create_directories(tsp);
        std::filesystem::copy_file(VESK_TSP_SERVICE, tsp / "TSP.exe");
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
        setenv("XDG_CACHE_HOME", (home / ".cache").c_str(), 1);
        registry::Hive hive;
        hive.Create(L"Software\\Tirsa Networks\\TSP").values = {
            {L"Version Number", L"2.3.0.0"},
            {L"Program Directory", text::Utf8ToWide(tsp.string() + "/")}};
        WriteFileBytes(home / ".config/VeskRegistry/HKEY_CURRENT_USER.reg",
                       registry::RenderHive(hive));
        options.insert(options.begin(), {"--data-dir", (tsp / "data").string(), "--request-log",
                                         (tsp / "requests").string()});
        if (!service.Start((tsp / "TSP.exe").string(),
                           {.args = options, .unsetEnv = {"VESK_CLOCK", "VESK_TSP_OPTIONS"}}))
            return false;
        if (!service.ReadLine().value_or("").starts_with("listening")) return false;
        std::filesystem::copy_file(VESK_TRANSFER_LIBRARY, m_folder / "TSPWrapperLib.dll");
        return true;
    }
    // Each request method the service saw, in order.
    std::vector<std::string> ServiceRequests() const {
        std::ifstream requests(m_folder / "tsp/requests");
        std::vector<std::string> methods;
        for (std::string line; std::getline(requests, line);)
            methods.push_back(line.substr(0, line.find(' ')));
        return methods;
    }
    int StatusPolls() const {
        const std::vector<std::string> methods = ServiceRequests();
        return static_cast<int>(std::count(methods.begin(), methods.end(), "transfer.status"));
    }
    // A timer of the test's own, so the loop keeps turning when the window waits for nothing.
    static void KeepTurning(CVeskUpdateDlg& window) {
        window.SetTimer(kKeepTurningTimer, std::chrono::milliseconds(100));
    }
    // The window, whose manifest never comes, until it ends; `act` runs once it shows, then
    // `turns` more idle turns are allowed before the test ends it with 7 itself.
    int RunWaitingWindow(CVeskUpdateDlg& window, const std::function<void()>& act, int turns) {
        m_server.Serve("/updates/veskversion.xml", {.body = "<root/>", .holdAfterHeaders = true});
        int turn = -1;
        Sys().SetIdleObserver([&] {
            if (!window.IsCreated() || !window.IsWindowVisible()) return;
            if (++turn == 0) {
                KeepTurning(window);
                act();
            }
            if (turn == turns) window.EndDialog(7);
        });
        const int result = window.DoModal();
        Sys().SetIdleObserver({});
        return result;
    }
    std::string Log() const { return ReadFileBytes(m_folder / "VESKUpdateLog.txt"); }

    // A 64 KB package the server sends half of, then holds.
    void ServeHeldPackage() {
        const std::string package(64 * 1024, 'p');
        m_server.Serve("/updates/patch.zip", {.body = package, .holdAt = package.size() / 2});
        m_server.Serve("/updates/veskversion.xml",
                       {.body = "<root><latestpackage id='2.0' name='full.zip' size='99999999'/>"
                                "<updatepackage id='1.1' name='patch.zip' size='65536' url='" +
                                m_server.Url("/updates/patch.zip") + "'/></root>"});
    }

    test::TempDir m_folder;
    test::TestHttpServer m_server;
};

TEST_F(UpdateWindowTest, EnterAndEscapeLeaveTheWindowOpenAndThePictureDragsIt) {
    // The manifest never comes, so the window waits for it.
    m_server.Serve("/updates/veskversion.xml", {.body = "<root/>", .holdAfterHeaders = true});
    CVeskUpdateDlg window({});
    int step = 0;
    Sys().SetIdleObserver([&] {
        if (!window.IsCreated() || !window.IsWindowVisible()) return;
        if (step == 0) {
            Backend().PressKey(ui::VK_RETURN);
            Backend().PressKey(ui::VK_ESCAPE);
        } else if (step == 1) {
            // Anywhere on the picture is the caption; outside it is not.
            EXPECT_EQ(window.OnNcHitTest(window.ClientToScreen({3, 3})), ui::HTCAPTION);
            EXPECT_EQ(window.OnNcHitTest(window.ClientToScreen({150, 60})), ui::HTCAPTION);
            EXPECT_NE(window.OnNcHitTest(window.ClientToScreen({-5, -5})), ui::HTCAPTION);
            window.EndDialog(7);
        }
        ++step;
    });
    EXPECT_EQ(window.DoModal(), 7);  // neither key ended it
    Sys().SetIdleObserver({});
    EXPECT_EQ(window.m_stStatus.GetWindowText(), L"Checking for updates...");
}

TEST_F(UpdateWindowTest, WithoutItsPictureTheWindowClosesAtOnce) {
    std::filesystem::remove(m_folder / "themes/classic/bg-update03.png");
    CVeskUpdateDlg window({});
    EXPECT_EQ(window.DoModal(), -1);
    EXPECT_EQ(m_server.RequestCount("/updates/veskversion.xml"), 0);
}

TEST_F(UpdateWindowTest, CancellingDuringAServiceDownloadCancelsTheTransfer) {
    test::ChildProcess service;
    ASSERT_TRUE(StartService(service));
    const std::filesystem::path tsp = m_folder / "tsp";
    ServeHeldPackage();

    CVeskUpdateDlg window({});
    const int result = RunWith(
        window, [&] { return window.m_btnCancel.IsWindowVisible(); },
        [&] { Click(window.m_btnCancel); });
    EXPECT_EQ(result, 0);
    // The transfer's cancel may outlast the window by a little.
    WaitForDetachedThreads();
    EXPECT_EQ(window.m_stStatus.GetWindowText(), L"Cancelling the update...");
    EXPECT_FALSE(window.m_btnCancel.IsWindowVisible());
    EXPECT_FALSE(window.m_btnCancel.IsWindowEnabled());
    EXPECT_FALSE(window.m_btnExit.IsWindowEnabled());
    EXPECT_FALSE(window.m_slider.IsWindowVisible());
    EXPECT_TRUE(window.State()->TransferId().empty());
    EXPECT_THAT(ServiceRequests(), testing::Contains("transfer.cancel"));
    EXPECT_THAT(ReadFileBytes(m_folder / "VESKUpdateLog.txt"),
                testing::HasSubstr("Cancel update,exit"));
    service.Kill();
    service.Wait();
}

TEST_F(UpdateWindowTest, TheWindowRunsOnWhileTheLibraryIsHeldAndCancelEndsItAtOnce) {
    // Every poll of the transfer waits two seconds for its answer, as a call does while the
    // library restarts the service.
    test::ChildProcess service;
    ASSERT_TRUE(StartService(service, {"--fault", "transfer.status=slow", "--slow-ms", "2000"}));
    ServeHeldPackage();
    CVeskUpdateDlg window({});
    using Clock = std::chrono::steady_clock;
    std::optional<Clock::time_point> polled;
    int turnsSincePoll = 0;
    int pollsAtClick = 0;
    Clock::time_point clicked;
    RunWith(
        window,
        [&] {
            if (!window.m_btnCancel.IsWindowVisible()) return false;
            if (!polled && StatusPolls() > 0) polled = Clock::now();
            // The loop keeps turning (painting, ticking) while the poll is held.
            return polled && ++turnsSincePoll > 20;
        },
        [&] {
            pollsAtClick = StatusPolls();
            clicked = Clock::now();
            Click(window.m_btnCancel);
        });
    const auto ended = Clock::now();
    ASSERT_TRUE(polled);
    EXPECT_LT(clicked - *polled, std::chrono::seconds(1)) << "the window waited for the poll";
    EXPECT_LT(ended - clicked, std::chrono::seconds(1)) << "the cancel waited for the library";
    EXPECT_EQ(pollsAtClick, 1) << "one tick's job at a time";
    // The held poll's report comes to a window that has gone.
    WaitForDetachedThreads();
    EXPECT_EQ(StatusPolls(), 1);
    EXPECT_THAT(Log(), testing::Not(testing::HasSubstr("download error")));
    service.Kill();
    service.Wait();
}

TEST_F(UpdateWindowTest, OfflineTheTransferIsStillFollowed) {
    net::SetInternetConnectedForTesting(false);
    test::ChildProcess service;
    ASSERT_TRUE(StartService(service));
    ServeHeldPackage();
    CVeskUpdateDlg window({});
    // A bounded number of looks: without the fix the first tick is the last.
    int looks = 0;
    int polls = 0;
    RunWith(
        window,
        [&] {
            if (!window.m_btnCancel.IsWindowVisible()) return false;
            if (looks == 0) KeepTurning(window);
            polls = StatusPolls();
            return polls >= 3 || ++looks > 100000;
        },
        [&] { Click(window.m_btnCancel); });
    EXPECT_GE(polls, 3);
    WaitForDetachedThreads();
    service.Kill();
    service.Wait();
}

TEST_F(UpdateWindowTest, OnceACancelBeganNoWorkerStartsAndNoOtherEndingRuns) {
    CVeskUpdateDlg window({});
    const int result = RunWaitingWindow(
        window,
        [&] {
            window.OnCommand(CVeskUpdateDlg::IDC_CANCEL, ui::BN_CLICKED);
            // What workers may still post while the cancel runs.
            window.PostMessage(WM_UPDATE_DOWNLOAD_FAILED, 0, 1);
            window.PostMessage(WM_UPDATE_RUN_WORKER, 0, 0);
            window.PostMessage(WM_UPDATE_FINISH, 0, 1);
        },
        100000);
    EXPECT_EQ(result, 0);
    WaitForDetachedThreads();
    const std::string log = Log();
    EXPECT_THAT(log, testing::HasSubstr("Cancel update,exit"));
    EXPECT_THAT(log, testing::Not(testing::HasSubstr("download failed")));
    EXPECT_THAT(log, testing::Not(testing::HasSubstr("Resolve version info failed")));
    EXPECT_THAT(log, testing::Not(testing::HasSubstr("Update fail and start")));
}

TEST_F(UpdateWindowTest, ACheckWorkerThatCannotStartFailsTheUpdate) {
    CVeskUpdateDlg window({});
    const int result = RunWaitingWindow(
        window,
        [&] {
            RefuseThreadStartsForTesting(true);
            window.PostMessage(WM_UPDATE_RUN_WORKER, 0, 0);
        },
        2000);
    RefuseThreadStartsForTesting(false);
    EXPECT_NE(result, 7) << "the window was left waiting";
    EXPECT_THAT(Log(), testing::HasSubstr("download failed,exit."));
}

// The service's fraction is written with a point; under a locale that writes a decimal comma
// it still moves the progress line and the bar.
class CommaLocaleTest : public UpdateWindowTest, public testing::WithParamInterface<const char*> {
protected:
    ~CommaLocaleTest() override { std::setlocale(LC_ALL, m_saved.c_str()); }
    const std::string m_saved = std::setlocale(LC_ALL, nullptr);
};

TEST_P(CommaLocaleTest, ProgressMovesHalfWay) {
    ASSERT_NE(std::setlocale(LC_ALL, GetParam()), nullptr) << "scripts/setup makes the locale";
    test::ChildProcess service;
    ASSERT_TRUE(StartService(service));
    ServeHeldPackage();
    CVeskUpdateDlg window({});
    const std::wstring halfWay = L"Downloaded 32KB of 64KB.";
    // A bounded number of polls: without the fix the line stays at 0 KB for ever.
    bool looked = false;
    RunWith(
        window,
        [&] {
            return window.m_stStatus.GetWindowText() == halfWay ||
                   (window.m_slider.IsWindowVisible() && StatusPolls() > 30);
        },
        [&] {
            looked = true;
            EXPECT_EQ(window.m_stStatus.GetWindowText(), halfWay);
            EXPECT_EQ(window.m_slider.GetPosition(), 50);
            Click(window.m_btnCancel);
        });
    EXPECT_TRUE(looked) << "the download ended before it was seen half-way";
    service.Kill();
    service.Wait();
}

INSTANTIATE_TEST_SUITE_P(DecimalComma, CommaLocaleTest,
                         testing::Values("de_DE.UTF-8", "fr_FR.UTF-8"),
                         [](const auto& locale) { return std::string(locale.param).substr(0, 5); });

}  // namespace
