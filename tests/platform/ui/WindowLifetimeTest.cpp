// Windows freed on a worker thread and popups owned by a control: none stays registered once
// its object is gone.
#include <thread>

#include "UiFixture.h"
#include "ui/Button.h"
#include "ui/Dialog.h"
#include "ui/ToolTip.h"

using namespace vesk::ui;

namespace {

constexpr UINT kDone = WM_USER + 100;

class Main : public Window {
public:
    LRESULT OnMessage(UINT message, WPARAM, LPARAM) override {
        if (message == kDone) System::Current()->EndModalLoop(*this, 0);
        return 0;
    }
};

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
    std::thread worker([&] {
        auto box = std::make_unique<SkinnedBox>();
        result = box->DoModal();
        tipHwnd = box->tipHwnd;
        box.reset();
        main.PostMessage(kDone);
    });
    Sys().RunModalLoop(main);
    worker.join();
    EXPECT_EQ(result, IDOK);
    ASSERT_NE(tipHwnd, 0u);
    EXPECT_EQ(Sys().FromHwnd(tipHwnd), nullptr);
    Sys().PumpUntilIdle();
}

TEST_F(WindowLifetime, AWindowFreedByAWorkerIsDestroyedOnTheUiThread) {
    Main main;
    ASSERT_TRUE(main.CreateTopLevel({0, 0, 200, 100}));
    auto popup = std::make_unique<Main>();
    ASSERT_TRUE(popup->CreateTopLevel({10, 10, 60, 60}, L"popup"));
    popup->ShowWindow(true);
    Sys().PumpUntilIdle();
    const Hwnd hwnd = popup->GetHwnd();
    std::thread worker([&] {
        popup.reset();
        main.PostMessage(kDone);
    });
    Sys().RunModalLoop(main);
    worker.join();
    EXPECT_EQ(Sys().FromHwnd(hwnd), nullptr);
    EXPECT_EQ(Backend().View(hwnd), nullptr) << "the backend was told it closed";
    Sys().PumpUntilIdle();
}

}  // namespace
