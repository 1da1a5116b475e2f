// Workers reach windows by handle and never wait for ever: a box asked from a worker returns
// however its owner goes, and a worker may still be calling while the window system ends.
#include <atomic>
#include <future>
#include <thread>
#include <vector>

#include "UiFixture.h"
#include "ui/Dialog.h"
#include "ui/WindowHandle.h"

using namespace vesk::ui;
using namespace std::chrono_literals;

namespace {

constexpr UINT kStart = WM_USER + 100;
constexpr UINT kCount = WM_USER + 101;

// The update window: it makes itself the program's main window and runs a start-up hook.
class UpdateWindow : public Dialog {
public:
    UpdateWindow() : Dialog(DialogTemplate{245, 78, L"Update"}) {}
    std::function<void()> onStart;
    int counted = 0;

protected:
    bool OnInitDialog() override {
        System::Current()->SetMainWindow(*this);
        PostMessage(kStart);
        return true;
    }
    LRESULT OnMessage(UINT message, WPARAM, LPARAM) override {
        if (message == kStart && onStart) onStart();
        if (message == kCount) ++counted;
        return 0;
    }
};

// The install thread's yes/no question; it tells when it shows.
class Question : public Dialog {
public:
    Question(Window& owner, std::promise<void>* shown)
        : Dialog(DialogTemplate{271, 90, L"Retry"}, &owner), m_shown(shown) {}

protected:
    bool OnInitDialog() override {
        if (m_shown) m_shown->set_value();
        return true;
    }

private:
    std::promise<void>* m_shown;
};

// A box the headless backend answers by itself.
class AnsweredBox : public Dialog {
public:
    explicit AnsweredBox(Window& owner) : Dialog(DialogTemplate{100, 50, L"Note"}, &owner) {}
    std::optional<BoxInfo> AsMessageBox() const override { return BoxInfo{L"Note", L"", IDOK}; }
};

// Started without an argument, as the install thread is: it finds the main window itself.
int AskFromInstallThread(std::promise<void>* shown) {
    return WindowHandle::Main().RunBox(
        [shown](Window& owner) { return std::make_unique<Question>(owner, shown); });
}

class WorkerSafety : public vesk::ui::test::UiFixture {
protected:
    WorkerSafety() : UiFixture(std::make_unique<vesk::ui::test::WatchedBackend>()) {}
    vesk::ui::test::WatchedBackend& Watched() {
        return static_cast<vesk::ui::test::WatchedBackend&>(Backend());
    }
    // Starts the install thread and returns once its question waits in the queue.
    std::future<int> AskAndWaitQueued() {
        const int wakes = Watched().Wakes();
        auto answer = std::async(std::launch::async, [] { return AskFromInstallThread(nullptr); });
        Watched().WaitForWakes(wakes + 1);
        return answer;
    }
};

TEST_F(WorkerSafety, TheCancelActionEndingTheDialogReleasesTheInstallThreadsQuestion) {
    enum class When { BeforeItShows, WhileItShows };
    for (When when : {When::BeforeItShows, When::WhileItShows}) {
        UpdateWindow dialog;
        std::future<int> answer;
        std::promise<void> shown;
        std::thread cancel;
        dialog.onStart = [&] {
            if (when == When::BeforeItShows) {
                answer = AskAndWaitQueued();
                // The cancel action ends the dialog before the loop gets to the question.
                EXPECT_TRUE(WindowHandle::Main().EndDialog(0));
                return;
            }
            answer = std::async(std::launch::async, [&] { return AskFromInstallThread(&shown); });
            cancel = std::thread([&] {
                shown.get_future().wait();
                EXPECT_TRUE(WindowHandle::Main().EndDialog(0));
            });
        };
        EXPECT_EQ(dialog.DoModal(), 0);
        EXPECT_EQ(answer.get(), -1) << "the install thread returned";
        if (cancel.joinable()) cancel.join();
        EXPECT_FALSE(WindowHandle::Main().Exists());
    }
}

TEST_F(WorkerSafety, AQuestionWaitingForAnOwnerThatGoesIsReleased) {
    enum class How { OwnerDestroyed, Quit };
    for (How how : {How::OwnerDestroyed, How::Quit}) {
        Window owner;
        ASSERT_TRUE(owner.CreateTopLevel({0, 0, 100, 100}));
        Sys().SetMainWindow(owner);
        std::future<int> answer = AskAndWaitQueued();
        if (how == How::OwnerDestroyed)
            owner.DestroyWindow();
        else
            System::PostQuit(0);
        EXPECT_EQ(answer.get(), -1);
        if (how == How::Quit) break;  // the system takes no more loops after a quit
    }
}

TEST_F(WorkerSafety, TheSystemEndingReleasesAWaitingWorker) {
    Window owner;
    ASSERT_TRUE(owner.CreateTopLevel({0, 0, 100, 100}));
    Sys().SetMainWindow(owner);
    const WindowHandle handle(owner);
    std::future<int> answer = AskAndWaitQueued();
    EndSystem();
    EXPECT_EQ(answer.get(), -1);
    EXPECT_FALSE(handle.SetText(L"after")) << "every call is refused at once afterwards";
    EXPECT_FALSE(handle.Post(kCount));
    EXPECT_FALSE(WindowHandle::Main().Exists());
    EXPECT_FALSE(System::RunOnUiThread([] {}));
}

// Run under ThreadSanitizer too: workers that are never waited for keep calling while the
// system ends, and a handle of the old system never reaches a window of a new one.
TEST_F(WorkerSafety, WorkersCallingWhileTheSystemEndsAreRefusedNotHarmed) {
    UpdateWindow dialog;
    const WindowHandle* reached = nullptr;
    WindowHandle handle;
    std::atomic<bool> stop{false};
    std::vector<std::thread> workers;
    dialog.onStart = [&] {
        handle = WindowHandle(dialog);
        reached = &handle;
        for (int i = 0; i < 3; ++i)
            workers.emplace_back([&, i] {
                for (int n = 0; !stop; ++n) {
                    handle.Post(kCount);
                    handle.Invalidate();
                    handle.SetAlpha(static_cast<std::uint8_t>(n));
                    if (!handle.SetText(L"busy") && !handle.Exists()) continue;
                    if (i == 0 && n % 50 == 0)
                        handle.RunBox([](Window& o) { return std::make_unique<AnsweredBox>(o); });
                }
            });
        dialog.SetTimer(1, 1ms);  // keeps the loop going while the workers call
    };
    Sys().SetIdleObserver([&] {
        if (dialog.counted >= 300) dialog.EndDialog(IDOK);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    ASSERT_NE(reached, nullptr);
    EndSystem();
    {
        System next(std::make_unique<headless::HeadlessBackend>());
        Window fresh;
        ASSERT_TRUE(fresh.CreateTopLevel({0, 0, 10, 10}));
        EXPECT_NE(fresh.GetHwnd(), handle.Get());
        EXPECT_FALSE(handle.SetText(L"stale"));
        EXPECT_EQ(fresh.GetWindowText(), L"");
        stop = true;
        for (std::thread& worker : workers) worker.join();
    }
}

}  // namespace
