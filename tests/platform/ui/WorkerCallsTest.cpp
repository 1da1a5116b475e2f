// Calls the update flow makes from its threads: each reaches the UI thread, wakes it, and leaves
// alone a window that went away while the call waited.
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "UiFixture.h"
#include "ui/Dialog.h"
#include "ui/Static.h"
#include "ui/WindowHandle.h"

using namespace vesk::ui;
using namespace std::chrono_literals;

namespace {

constexpr UINT kDone = WM_USER + 100;
constexpr UINT kStart = WM_USER + 101;
constexpr WPARAM kProgressTimer = 999;

using vesk::ui::test::WatchedBackend;

class Main : public Window {
public:
    int ticks = 0;
    std::function<void()> onTick;
    std::function<void()> onStart;
    void OnTimer(WPARAM id) override {
        if (id != kProgressTimer) return;
        ++ticks;
        if (onTick) onTick();
    }
    LRESULT OnMessage(UINT message, WPARAM, LPARAM) override {
        if (message == kDone) System::Current()->EndModalLoop(*this, 0);
        if (message == kStart && onStart) onStart();
        return 0;
    }
};

// Runs a hook the first time it is copied: the system copies a call as it takes it, so the hook
// runs between the worker's check for a quit and the queueing of its call.
struct HookedCall {
    std::function<void()>* hook;
    explicit HookedCall(std::function<void()>* h) : hook(h) {}
    HookedCall(HookedCall&& other) noexcept : hook(other.hook) {}
    HookedCall(const HookedCall& other) : hook(other.hook) {
        if (*hook) std::exchange(*hook, nullptr)();
    }
    void operator()() const {}
};

class WorkerCalls : public vesk::ui::test::UiFixture {
protected:
    WorkerCalls() : UiFixture(std::make_unique<WatchedBackend>()) {}
    WatchedBackend& Watched() { return static_cast<WatchedBackend&>(Backend()); }
    // Fulfilled the first time the loop goes to wait, with nothing left to do.
    void SignalFirstIdle(std::promise<void>& idle) {
        Sys().SetIdleObserver([&idle, first = true]() mutable {
            if (std::exchange(first, false)) idle.set_value();
        });
    }
};

TEST_F(WorkerCalls, AWorkerStartsAndStopsTheProgressTimer) {
    Main main;
    ASSERT_TRUE(main.CreateTopLevel({0, 0, 50, 50}));
    std::promise<void> idle, third, stopped;
    SignalFirstIdle(idle);
    main.onTick = [&] {
        if (main.ticks != 3) return;
        third.set_value();
        stopped.get_future().wait();
    };
    std::thread worker([&, handle = WindowHandle(main)] {
        idle.get_future().wait();
        handle.SetTimer(kProgressTimer, 100ms);  // the loop waits with nothing due: this wakes it
        third.get_future().wait();
        handle.KillTimer(kProgressTimer);
        handle.Post(kDone);
        stopped.set_value();
    });
    const auto start = Clock().Now();
    Sys().RunModalLoop(main);
    worker.join();
    EXPECT_EQ(main.ticks, 3) << "killed from the worker before a fourth tick";
    EXPECT_EQ(Clock().Now() - start, 300ms);
}

TEST_F(WorkerCalls, AWorkerEndsTheDialogTheLoopWaitsIn) {
    Dialog box(DialogTemplate{100, 50, L"Cancelling"});
    std::promise<void> idle;
    SignalFirstIdle(idle);
    std::thread worker([&] {
        idle.get_future().wait();
        EXPECT_TRUE(WindowHandle(box.GetHwnd()).EndDialog(5));
    });
    EXPECT_EQ(box.DoModal(), 5);
    worker.join();
}

class EndsWhileInitialising : public Dialog {
public:
    EndsWhileInitialising() : Dialog(DialogTemplate{100, 50, L"Early"}) {}
    bool OnInitDialog() override {
        EndDialog(9);
        return true;
    }
};

TEST_F(WorkerCalls, ADialogEndedWhileInitialisingReturnsAtOnce) {
    EndsWhileInitialising box;
    EXPECT_EQ(box.DoModal(), 9);
    EXPECT_EQ(box.DoModal(), 9) << "a second run starts clean and ends the same way";
}

TEST_F(WorkerCalls, AWorkersAlignmentChangeIsAppliedAndRepainted) {
    Main main;
    ASSERT_TRUE(main.CreateTopLevel({0, 0, 200, 50}));
    main.ShowWindow(true);
    Static status;
    ASSERT_TRUE(status.CreateChild(main, 1001, {0, 0, 200, 20}, L"status"));
    status.SetAlignment(vesk::gfx::TextAlign::Center);
    Sys().PumpUntilIdle();
    const long composed = Sys().Stats().compositions;
    std::thread worker([&, label = WindowHandle(status), handle = WindowHandle(main)] {
        EXPECT_TRUE(label.SetAlignment(vesk::gfx::TextAlign::Left));
        EXPECT_FALSE(handle.SetAlignment(vesk::gfx::TextAlign::Left)) << "not a static";
        handle.Post(kDone);
    });
    Sys().RunModalLoop(main);
    worker.join();
    Sys().PumpUntilIdle();  // the loop may have ended before painting
    EXPECT_EQ(status.GetAlignment(), vesk::gfx::TextAlign::Left);
    EXPECT_GT(Sys().Stats().compositions, composed);
}

TEST_F(WorkerCalls, AChangeQueuedForAWindowDestroyedMeanwhileIsDropped) {
    Main main;
    ASSERT_TRUE(main.CreateTopLevel({0, 0, 50, 50}));
    auto doomed = std::make_unique<Window>();
    ASSERT_TRUE(doomed->CreateTopLevel({0, 0, 10, 10}, L"before"));
    const WindowHandle handle(*doomed);
    bool workerReturned = false;
    bool applied = true;
    main.onStart = [&] {
        const int wakes = Watched().Wakes();
        std::thread worker([&] {
            applied = handle.SetText(L"after");
            workerReturned = true;
        });
        Watched().WaitForWakes(wakes + 1);  // the worker's change waits in the queue
        doomed.reset();
        worker.join();  // the change went with the window, so the worker waits no longer
        Sys().EndModalLoop(main, 0);
    };
    main.PostMessage(kStart);
    Sys().RunModalLoop(main);
    EXPECT_TRUE(workerReturned);
    EXPECT_FALSE(applied) << "the result says the window was gone";
    EXPECT_FALSE(handle.SetText(L"later")) << "refused at once once it is gone";
}

TEST_F(WorkerCalls, ACallRacingAQuitIsRefusedInsteadOfWaiting) {
    Main main;
    ASSERT_TRUE(main.CreateTopLevel({0, 0, 50, 50}));
    std::promise<void> loopEnded;
    std::function<void()> hook = [&] {
        Sys().PostQuit(0);
        loopEnded.get_future().wait();
    };
    const std::function<void()> call = HookedCall(&hook);
    bool accepted = true;
    std::thread worker([&] { accepted = Sys().RunOnUiThread(call); });
    EXPECT_EQ(Sys().RunModalLoop(main), -1);
    loopEnded.set_value();
    worker.join();
    EXPECT_FALSE(accepted);
}

TEST_F(WorkerCalls, AlphaSetOnTheUiThreadReadsBackAtOnce) {
    Main main;
    ASSERT_TRUE(main.CreateTopLevel({0, 0, 50, 50}));
    main.ShowWindow(true);
    main.SetAlpha(40);
    EXPECT_EQ(main.GetAlpha(), 40);
    ASSERT_NE(Backend().View(main.GetHwnd()), nullptr);
    EXPECT_EQ(Backend().View(main.GetHwnd())->alpha, 40);
}

}  // namespace
