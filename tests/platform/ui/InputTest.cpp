#include <functional>

#include "UiFixture.h"
#include "ui/Button.h"
#include "ui/Dialog.h"
#include "ui/Static.h"
#include "ui/ToolTip.h"

using namespace vesk::ui;
using vesk::gfx::Point;
using vesk::gfx::Rect;
using namespace std::chrono_literals;

namespace {

constexpr vesk::gfx::Argb kPlain = 0xFF202020u;
constexpr vesk::gfx::Argb kLit = 0xFFE0E0E0u;

// A control whose look follows hover and leave notices, as the skinned buttons do.
class HoverBox : public Window {
public:
    int hovers = 0, leaves = 0;
    bool hot = false;
    void OnMouseMove(Point) override {
        if (!tracking) tracking = TrackMouseEvent(1ms);
    }
    void OnMouseHover(Point) override {
        ++hovers;
        hot = true;
        Invalidate();
    }
    void OnMouseLeave() override {
        ++leaves;
        tracking = hot = false;
        Invalidate();
    }
    bool OnEraseBkgnd(vesk::gfx::Canvas& dc) override {
        dc.FillRect(GetClientRect(), hot ? kLit : kPlain);
        return true;
    }
    bool OnSetCursor() override {
        Sys().SetCursor(Cursor::Hand);
        return true;
    }
    bool tracking = false;
};

// A frame that can be dragged by any point outside its children, and counts clicks.
class Frame : public Window {
public:
    std::vector<int> clicks;
    int OnNcHitTest(Point screen) override {
        return GetClientRect().Contains(ScreenToClient(screen)) ? HTCAPTION : HTNOWHERE;
    }
    bool OnCommand(int id, int code) override {
        if (code == BN_CLICKED) clicks.push_back(id);
        return true;
    }
};

class PressLook : public Button {
public:
    std::vector<UINT> states;
    void DrawItem(vesk::gfx::Canvas& dc, const DrawItemInfo& item) override {
        states.push_back(item.itemState);
        dc.FillRect(item.item, item.itemState & ODS_SELECTED ? kLit : kPlain);
    }
};

class Input : public vesk::ui::test::UiFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(frame.CreateTopLevel({100, 100, 300, 200}, L"frame"));
        frame.ShowWindow(true);
    }
    Frame frame;
};

TEST_F(Input, DraggingByTheCaptionMovesTheWindow) {
    Static label;  // plain labels let the pointer through to the frame
    ASSERT_TRUE(label.CreateChild(frame, 1001, {10, 10, 100, 30}, L"status"));
    Backend().Press({120, 115});
    Backend().MoveMouse({150, 135});
    Backend().MoveMouse({170, 160});
    Backend().Release({170, 160});
    Backend().MoveMouse({400, 400});
    Sys().PumpUntilIdle();
    EXPECT_EQ(frame.GetWindowRect(), (Rect{150, 145, 350, 245}));
    EXPECT_EQ(Backend().View(frame.GetHwnd())->screen, (Rect{150, 145, 350, 245}));
}

TEST_F(Input, HoverAndLeaveChangeTheControlsLook) {
    HoverBox box;
    ASSERT_TRUE(box.CreateChild(frame, 5, {20, 20, 60, 40}));
    Sys().PumpUntilIdle();
    EXPECT_EQ(PixelOf(frame, 30, 30), kPlain);
    Backend().MoveMouse({130, 130});
    Sys().RunFor(5ms);
    EXPECT_EQ(box.hovers, 1);
    EXPECT_EQ(PixelOf(frame, 30, 30), kLit);
    EXPECT_EQ(Backend().LastCursor(), Cursor::Hand);
    Backend().MoveMouse({105, 105});  // onto the frame
    Sys().RunFor(5ms);
    EXPECT_EQ(box.leaves, 1);
    EXPECT_EQ(box.hovers, 1) << "one hover per tracking request";
    EXPECT_EQ(PixelOf(frame, 30, 30), kPlain);
    EXPECT_EQ(Backend().LastCursor(), Cursor::Arrow);
}

TEST_F(Input, OwnerDrawnButtonIsToldItIsHeldAndClicksReachTheParent) {
    PressLook button;
    button.SetOwnerDraw(true);
    ASSERT_TRUE(button.CreateChild(frame, 1002, {50, 50, 90, 70}));
    Backend().Press({160, 160});
    Sys().PumpUntilIdle();
    EXPECT_EQ(PixelOf(frame, 60, 60), kLit);
    ASSERT_FALSE(button.states.empty());
    EXPECT_TRUE(button.states.back() & ODS_SELECTED);
    Backend().MoveMouse({100, 100});  // still held, pointer off the button
    Sys().PumpUntilIdle();
    EXPECT_EQ(PixelOf(frame, 60, 60), kPlain);
    Backend().Release({100, 100});
    Backend().Press({160, 160});
    Backend().Release({160, 160});
    Backend().Press({160, 160}, 2);  // a double click presses again
    Backend().Release({160, 160});
    Sys().PumpUntilIdle();
    EXPECT_EQ(frame.clicks, (std::vector<int>{1002, 1002}));
    EXPECT_EQ(frame.GetWindowRect().TopLeft(), (Point{100, 100}))
        << "a press on a button drags nothing";
    button.EnableWindow(false);
    Backend().Press({160, 160});
    Backend().Release({160, 160});
    Sys().PumpUntilIdle();
    EXPECT_EQ(frame.clicks.size(), 2u) << "a disabled button takes no clicks";
    EXPECT_TRUE(button.states.back() & ODS_DISABLED);
}

class KeyDialog : public Dialog {
public:
    KeyDialog()
        : Dialog(DialogTemplate{100,
                                40,
                                L"keys",
                                {},
                                {{IDOK, DialogItem::Kind::PushButton, L"OK", {10, 10, 50, 24}}}}) {}
    int oks = 0;
    void OnOK() override { ++oks; }
};

TEST_F(Input, EnterAndEscapeReachTheDialogsHandlers) {
    KeyDialog dialog;
    // Keys typed before the dialog runs wait in the queue for it.
    Backend().PressKey(VK_RETURN);
    Backend().PressKey(VK_RETURN);
    Backend().PressKey(VK_ESCAPE);
    const int result = dialog.DoModal();
    EXPECT_EQ(dialog.oks, 2) << "OnOK replaced: Enter does not close";
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(Dialog::MapDialogRect({10, 10, 50, 24}), (Rect{15, 16, 75, 39}));
}

TEST_F(Input, TooltipShowsAfterItsDelayWrappedAtItsWidth) {
    HoverBox tool;
    ASSERT_TRUE(tool.CreateChild(frame, 7, {0, 0, 100, 50}));
    ToolTip tip;
    ASSERT_TRUE(tip.Create(tool));
    tip.SetMaxTipWidth(400);
    tip.SetDelayTime(2000ms);
    tip.AddTool(tool, tool.GetClientRect(),
                std::wstring(300, L'x') + L" " + std::wstring(300, L'y'), 1);
    tip.Activate(true);
    auto relay = [&](UINT message, Point client) {
        tip.RelayEvent({tool.GetHwnd(), message, 0, MakePointParam(client)});
    };
    relay(WM_MOUSEMOVE, {10, 10});
    Sys().RunFor(1999ms);
    EXPECT_FALSE(tip.IsShowing());
    Sys().RunFor(1ms);
    ASSERT_TRUE(tip.IsShowing());
    EXPECT_LE(tip.GetWindowRect().Width(), 400);
    EXPECT_EQ(tip.GetWindowRect().TopLeft(), (Point{110, 130}));
    relay(WM_LBUTTONDOWN, {10, 10});
    EXPECT_FALSE(tip.IsShowing());
    tip.Activate(false);
    relay(WM_MOUSEMOVE, {10, 10});
    Sys().RunFor(3000ms);
    EXPECT_FALSE(tip.IsShowing()) << "an inactive tooltip stays hidden";
}

TEST_F(Input, ADisabledOrHiddenButtonGivesUpThePointer) {
    PressLook button;
    button.SetOwnerDraw(true);
    ASSERT_TRUE(button.CreateChild(frame, 1002, {50, 50, 90, 70}));
    HoverBox other;
    ASSERT_TRUE(other.CreateChild(frame, 5, {150, 20, 190, 40}));
    struct Row {
        const char* what;
        std::function<void()> takeAway;
    } rows[] = {
        {"disabled", [&] { button.EnableWindow(false); }},
        {"hidden", [&] { button.ShowWindow(false); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        button.EnableWindow(true);
        button.ShowWindow(true);
        Backend().Press({160, 160});
        Sys().PumpUntilIdle();
        ASSERT_TRUE(button.IsPushed());
        row.takeAway();
        EXPECT_FALSE(button.IsPushed()) << "no release will come to end the press";
        const int hovers = other.hovers;
        Backend().MoveMouse({260, 130});  // onto the other control
        Sys().RunFor(5ms);
        EXPECT_EQ(other.hovers, hovers + 1) << "the pointer reaches other windows again";
        Backend().Release({260, 130});
        Backend().MoveMouse({105, 105});
        Sys().RunFor(5ms);
    }
    EXPECT_TRUE(frame.clicks.empty());
}

}  // namespace
