// Boxes run for a worker and popups owned by a control: none stays registered once its object
// is gone; and windows are destroyed on the UI thread only.
#include <thread>

#include "UiFixture.h"
#include "ui/Button.h"
#include "ui/Dialog.h"
#include "ui/ToolTip.h"
#include "ui/WindowHandle.h"

using namespace vesk::ui;

namespace {

using test::kDone;
using Main = test::EndsItsLoopOnDone;

// A skinned button: it makes its tooltip on demand and deletes it with itself.
class TipButton : public Button {
public:
    void MakeTip() {
        tip = std::make_unique<ToolTip>();
        tip->Create(*this);
        tip->AddTool(*this, GetClientRect(), L"Exit", 1);
        tip->Activate(true);
    }
    std::unique_ptr<ToolTip> tip;
};

class SkinnedBox : public Dialog {
public:
    SkinnedBox()
        : Dialog(DialogTemplate{
              100,
              50,
              L"Error",
              {},
              {{IDCANCEL, DialogItem::Kind::OwnerDrawButton, L"", {80, 2, 96, 12}}}}) {}
    TipButton exit;
    Hwnd tipHwnd = 0;
    std::function<void()> onEnd;
    ~SkinnedBox() override {
        if (onEnd) onEnd();
    }

protected:
    void DoDataExchange() override { Bind(IDCANCEL, exit); }
    bool OnInitDialog() override {
        exit.MakeTip();
        tipHwnd = exit.tip->GetHwnd();
        PostMessage(WM_COMMAND, MakeCommandParam(IDOK, BN_CLICKED));
        return true;
    }
};

class WindowLifetime : public vesk::ui::test::UiFixture {};

TEST_F(WindowLifetime, APopupGoesWithItsOwner) {
    Main main;
    ASSERT_TRUE(main.CreateTopLevel({0, 0, 100, 100}));
    Button button;
    ASSERT_TRUE(button.CreateChild(main, 1, {0, 0, 20, 20}));
    ToolTip tip;
    ASSERT_TRUE(tip.Create(button));
    main.DestroyWindow();
    EXPECT_FALSE(tip.IsCreated());
    EXPECT_EQ(Sys().FromHwnd(tip.GetHwnd()), nullptr);
}

TEST_F(WindowLifetime, ABoxRunAndFreedByAWorkerLeavesNoTooltipBehind) {
    Main main;
    ASSERT_TRUE(main.CreateTopLevel({0, 0, 200, 100}));
    Hwnd tipHwnd = 0;
    int result = 0;
    std::thread worker([&, handle = WindowHandle(main)] {
        result = handle.RunBox([&](Window&) {
            auto box = std::make_unique<SkinnedBox>();
            box->onEnd = [&tipHwnd, raw = box.get()] { tipHwnd = raw->tipHwnd; };
            return box;
        });
        handle.Post(kDone);
    });
    Sys().RunModalLoop(main);
    worker.join();
    EXPECT_EQ(result, IDOK);
    ASSERT_NE(tipHwnd, 0u);
    EXPECT_EQ(Sys().FromHwnd(tipHwnd), nullptr);
    Sys().PumpUntilIdle();
}

#ifndef NDEBUG
// A window freed elsewhere would be torn down after its derived parts were gone, while the UI
// thread might still paint it; debug builds stop at the mistake instead.
TEST_F(WindowLifetime, UiOnlyCallsOnAnotherThreadStopTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Main main;
    ASSERT_TRUE(main.CreateTopLevel({0, 0, 200, 100}));
    auto onWorker = [](const std::function<void()>& call) { std::thread(call).join(); };
    EXPECT_DEATH(onWorker([&] { main.DestroyWindow(); }), "off the UI thread");
    EXPECT_DEATH(onWorker([&] { main.SetWindowText(L"x"); }), "off the UI thread");
    EXPECT_DEATH(onWorker([&] { main.PostMessage(kDone); }), "off the UI thread");
    EXPECT_DEATH(onWorker([&] { Sys().PumpUntilIdle(); }), "off the UI thread");
    EXPECT_DEATH(onWorker([&] {
                     Dialog box(DialogTemplate{100, 50, L"Box"});
                     box.DoModal();
                 }),
                 "off the UI thread");
    onWorker([] { Main neverCreated; });  // an object that was never created is no window
}
#endif

}  // namespace
