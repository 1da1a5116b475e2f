#include <future>
#include <thread>
#include <vector>

#include "UiFixture.h"
#include "ui/Dialog.h"
#include "ui/WindowHandle.h"

using namespace vesk::ui;
using namespace std::chrono_literals;

namespace {

constexpr UINT kWorkerMessage = WM_USER + 100;
constexpr WPARAM kProgressTimer = 999;

// A top-level window that records what reaches it and on which thread.
class Recorder : public Window {
public:
    std::vector<std::pair<WPARAM, LPARAM>> received;
    std::vector<std::thread::id> threads;
    int ticks = 0;
    std::function<void()> onTick;
    LRESULT OnMessage(UINT message, WPARAM w, LPARAM l) override {
        if (message == kWorkerMessage) {
            received.emplace_back(w, l);
            threads.push_back(std::this_thread::get_id());
            if (l == -1) System::PostQuit(0);
        }
        return 0;
    }
    void OnTimer(WPARAM id) override {
        if (id != kProgressTimer) return;
        ++ticks;
        if (onTick) onTick();
    }
};

class ThreadModel : public vesk::ui::test::UiFixture {};

TEST_F(ThreadModel, WorkerMessagesArriveOnTheUiThreadInOrder) {
    Recorder window;
    ASSERT_TRUE(window.CreateTopLevel({0, 0, 50, 50}));
    std::thread worker([handle = WindowHandle(window)] {
        for (int i = 0; i < 200; ++i) handle.Post(kWorkerMessage, 0, i);
        handle.Post(kWorkerMessage, 0, -1);
    });
    Sys().RunModalLoop(window);
    worker.join();
    ASSERT_EQ(window.received.size(), 201u);
    for (int i = 0; i < 200; ++i) EXPECT_EQ(window.received[i].second, i);
    for (auto id : window.threads) EXPECT_EQ(id, std::this_thread::get_id());
}

TEST_F(ThreadModel, ModalBoxOfAWorkerRunsWhileTheWindowTimerTicks) {
    Recorder main;
    ASSERT_TRUE(main.CreateTopLevel({0, 0, 200, 100}));
    main.SetTimer(kProgressTimer, 100ms);
    Dialog* box = nullptr;
    int ticksWhileOpen = 0;
    main.onTick = [&] {
        if (!box || !box->IsCreated()) return;
        EXPECT_FALSE(main.IsWindowEnabled()) << "the box's owner takes no input while it runs";
        if (++ticksWhileOpen == 5) box->EndDialog(42);
    };
    std::promise<int> answer;
    std::thread worker([&, handle = WindowHandle(main)] {
        answer.set_value(handle.RunBox([&](Window& owner) {
            // Forgets itself as it goes, on the UI thread that reads it.
            struct Tracked : Dialog {
                Dialog** slot;
                Tracked(Window& o, Dialog** s)
                    : Dialog(DialogTemplate{100, 50, L"Question"}, &o), slot(s) {
                    *slot = this;
                }
                ~Tracked() override { *slot = nullptr; }
            };
            return std::make_unique<Tracked>(owner, &box);
        }));
        handle.Post(kWorkerMessage, 0, -1);
    });
    Sys().RunModalLoop(main);
    worker.join();
    EXPECT_EQ(answer.get_future().get(), 42);
    EXPECT_EQ(ticksWhileOpen, 5);
    EXPECT_TRUE(main.IsWindowEnabled());
}

TEST_F(ThreadModel, QuitEndsTheBoxLoopAndTheWindowLoop) {
    Recorder main;
    ASSERT_TRUE(main.CreateTopLevel({0, 0, 200, 100}));
    main.SetTimer(kProgressTimer, 100ms);
    bool boxOpen = false;
    main.onTick = [&] {
        if (boxOpen && main.ticks >= 3) Sys().PostQuit(7);
    };
    std::promise<int> answer;
    std::thread worker([&, handle = WindowHandle(main)] {
        answer.set_value(handle.RunBox([&](Window& owner) {
            boxOpen = true;
            return std::make_unique<Dialog>(DialogTemplate{100, 50, L"Error"}, &owner);
        }));
    });
    EXPECT_EQ(Sys().RunModalLoop(main), -1);
    worker.join();
    EXPECT_EQ(answer.get_future().get(), -1);
    EXPECT_EQ(Sys().ExitCode(), 7);
    // After the quit, a worker's call is refused at once instead of waiting for a loop.
    std::thread late([&] { EXPECT_FALSE(Sys().RunOnUiThread([] {})); });
    late.join();
}

TEST_F(ThreadModel, WindowChangesFromAWorkerRunOnTheUiThread) {
    Recorder main;
    ASSERT_TRUE(main.CreateTopLevel({0, 0, 200, 100}));
    std::thread::id ranOn;
    std::thread worker([&, handle = WindowHandle(main)] {
        EXPECT_TRUE(handle.SetText(L"from a worker"));
        EXPECT_TRUE(handle.Move({10, 20, 110, 70}));
        EXPECT_TRUE(System::RunOnUiThread([&] { ranOn = std::this_thread::get_id(); }));
        EXPECT_TRUE(handle.SetAlpha(128));  // never blocks
        EXPECT_TRUE(handle.Post(kWorkerMessage, 0, -1));
    });
    Sys().RunModalLoop(main);
    worker.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_EQ(main.GetWindowText(), L"from a worker");
    EXPECT_EQ(main.GetWindowRect(), (vesk::gfx::Rect{10, 20, 110, 70}));
    EXPECT_EQ(main.GetAlpha(), 128);
}

TEST_F(ThreadModel, AnIdleLoopWaitsOnceForEachTimerTick) {
    Recorder main;
    ASSERT_TRUE(main.CreateTopLevel({0, 0, 10, 10}));
    main.SetTimer(kProgressTimer, 100ms);
    main.onTick = [&] {
        if (main.ticks == 50) Sys().PostQuit(0);
    };
    const auto start = Clock().Now();
    Sys().RunModalLoop(main);
    EXPECT_EQ(Clock().Now() - start, 5000ms);
    EXPECT_LE(Sys().Stats().waits, 52);
}

TEST_F(ThreadModel, WithNothingDueTheLoopBlocksUntilAMessage) {
    Recorder main;
    ASSERT_TRUE(main.CreateTopLevel({0, 0, 10, 10}));
    std::promise<void> waiting;
    bool first = true;
    Sys().SetIdleObserver([&] {
        if (std::exchange(first, false)) waiting.set_value();
    });
    std::thread worker([&, handle = WindowHandle(main)] {
        waiting.get_future().wait();
        handle.Post(kWorkerMessage, 0, -1);
    });
    const auto start = Clock().Now();
    Sys().RunModalLoop(main);
    worker.join();
    EXPECT_LE(Sys().Stats().waits, 2);
    EXPECT_EQ(Clock().Now(), start) << "no timer, so no time was slept through";
}

}  // namespace
