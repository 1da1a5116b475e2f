// The skinned controls on real windows of the headless backend: which look, frame or fill
// shows in which state, and when they repaint.
#include <gtest/gtest.h>

#include <algorithm>

#include "ColorMatrices.h"
#include "DrawCenteredCaption.h"
#include "GdipButton.h"
#include "SkinFixture.h"
#include "UIBitmapSlider.h"
#include "UIButton.h"
#include "UIHMXStatic.h"

using namespace vesk;
using namespace std::chrono_literals;

namespace {

class Controls : public test::SkinFixture {
protected:
    Controls() {
        EXPECT_TRUE(panel.CreateTopLevel({100, 100, 500, 300}, L"panel"));
        panel.ShowWindow(true);
    }
    gfx::Argb At(ui::Window& control, int x, int y) {
        const gfx::Point p = panel.ScreenToClient(control.ClientToScreen({x, y}));
        return PixelOf(panel, p.x, p.y);
    }
    // Lets a hover notice come: the pointer rests past the hover time.
    void Rest() { Sys().RunFor(5ms); }
    long Compositions() {
        Sys().PumpUntilIdle();
        return Sys().Stats().compositions;
    }

    test::Panel panel;
};

TEST_F(Controls, ImageButtonShowsEachLookOverTheParentsBackground) {
    enum class State { Normal, Pressed, Hot, Gray };
    struct Row {
        State state;
        gfx::Argb corner, inner, last;  // pixels (0, 0), (1, 1) and (17, 17)
    } rows[] = {
        {State::Normal, test::kExit, test::kExit, test::kExitEdge},
        // One pixel right and down: the parent shows at the corner, the image's own last row
        // and column are cut, so (17, 17) shows the image's (16, 16).
        {State::Pressed, test::kParent, test::kExit, test::kExit},
        {State::Hot, gfx::ApplyColorMatrix(test::kExit, HotMatrix), 0, 0},
        {State::Gray, gfx::ApplyColorMatrix(test::kExit, GrayMatrix), 0, 0},
    };
    for (const Row& row : rows) {
        CGdipButton button;
        ASSERT_TRUE(button.CreateChild(panel, 1122, gfx::Rect::FromXywh(20, 20, 18, 18)));
        ASSERT_TRUE(button.LoadNormalImage(Theme("btn_main_exit.png")));
        Sys().PumpUntilIdle();
        EXPECT_TRUE(button.LooksReady());
        const gfx::Point middle = Middle(button);
        if (row.state == State::Pressed) {
            Backend().MoveMouse(middle);
            Backend().Press(middle);
        } else if (row.state == State::Hot) {
            Backend().MoveMouse(middle);
            Rest();
        } else if (row.state == State::Gray) {
            button.SetImageKind(CGdipButton::kDisabled);
        }
        Sys().PumpUntilIdle();
        const int state = static_cast<int>(row.state);
        EXPECT_EQ(At(button, 0, 0), row.corner) << "state " << state;
        if (row.inner) {
            EXPECT_EQ(At(button, 1, 1), row.inner) << "state " << state;
        }
        if (row.last) {
            EXPECT_EQ(At(button, 17, 17), row.last) << "state " << state;
        }
        Backend().Release(middle);
        Backend().LeavePointer();
        Sys().PumpUntilIdle();
    }
}

TEST_F(Controls, ImageButtonPressesOnEachOfTwoQuickClicks) {
    CGdipButton button;
    ASSERT_TRUE(button.CreateChild(panel, 1122, gfx::Rect::FromXywh(20, 20, 18, 18)));
    button.LoadNormalImage(Theme("btn_main_exit.png"));
    const gfx::Point p = Middle(button);
    Backend().Press(p, 1);
    Backend().Release(p);
    Backend().Press(p, 2);
    Backend().Release(p);
    Sys().PumpUntilIdle();
    EXPECT_EQ(panel.clicks, (std::vector<int>{1122, 1122}));
}

TEST_F(Controls, ImageButtonWithAnImageThatFailsShowsTheBackgroundInEveryState) {
    CGdipButton button;
    ASSERT_TRUE(button.CreateChild(panel, 1122, gfx::Rect::FromXywh(20, 20, 18, 18)));
    EXPECT_FALSE(button.LoadNormalImage(Theme("absent.png")));
    Sys().PumpUntilIdle();
    EXPECT_TRUE(button.LooksReady());
    EXPECT_EQ(At(button, 5, 5), test::kParent);
    Backend().Press(Middle(button));
    Sys().PumpUntilIdle();
    EXPECT_EQ(At(button, 5, 5), test::kParent);
}

TEST_F(Controls, TextButtonShowsTheFrameOfItsState) {
    enum class Do { Nothing, Hover, Hold, HoverLocked, HoldLocked };
    struct Row {
        const char* image;
        Do action;
        gfx::Argb shown;
    } rows[] = {
        {"btn_logout_cancel.png", Do::Nothing, test::kNormalFrame},
        {"btn_logout_cancel.png", Do::Hover, test::kHoverFrame},
        {"btn_logout_cancel.png", Do::Hold, test::kNormalFrame},
        {"btn_logout_cancel.png", Do::HoverLocked, test::kNormalFrame},
        {"btn_logout_cancel.png", Do::HoldLocked, test::kNormalFrame},
        {"single.png", Do::Hover, test::kSingleFrame},
        {"single.png", Do::Hold, test::kSingleFrame},
    };
    for (const Row& row : rows) {
        const std::string name =
            std::string(row.image) + " action " + std::to_string(static_cast<int>(row.action));
        panel.clicks.clear();
        CUIButton button;
        ASSERT_TRUE(button.CreateChild(panel, 1002, gfx::Rect::FromXywh(30, 30, 10, 10)));
        button.SetImageFile(Theme(row.image));
        const bool strip = std::string(row.image) != "single.png";
        EXPECT_EQ(button.GetWindowRect(), gfx::Rect::FromXywh(30, 30, 79, strip ? 50 : 40))
            << name << ": the button takes the image's size";
        if (strip) button.MoveWindow(gfx::Rect::FromXywh(30, 30, 79, 25));
        const bool locked = row.action == Do::HoverLocked || row.action == Do::HoldLocked;
        const bool held = row.action == Do::Hold || row.action == Do::HoldLocked;
        if (locked) button.Lock();
        const gfx::Point p = Middle(button);
        Backend().MoveMouse(p);
        Rest();
        if (held) Backend().Press(p);
        if (row.action == Do::Nothing) Backend().LeavePointer();
        Sys().PumpUntilIdle();
        EXPECT_EQ(At(button, 3, 3), row.shown) << name;
        EXPECT_EQ(At(button, 3, button.GetClientRect().Height() - 1), row.shown) << name;
        if (!held) Backend().Press(p);
        Backend().Release(p);
        Backend().LeavePointer();
        Sys().PumpUntilIdle();
        EXPECT_EQ(panel.clicks.empty(), locked) << name << ": a locked button never presses";
    }
}

TEST_F(Controls, TextButtonKeepsItsImageWhenANewFileCannotBeOpened) {
    CUIButton button;
    ASSERT_TRUE(button.CreateChild(panel, 1002, gfx::Rect::FromXywh(30, 30, 10, 10)));
    button.SetImageFile(Theme("single.png"));
    button.SetImageFile(Theme("absent.png"));
    ASSERT_NE(button.Image(), nullptr);
    EXPECT_EQ(button.Image()->Height(), 40);
    EXPECT_EQ(button.GetWindowRect().Height(), 40);
}

// A caption too wide for its button at the button's font is drawn smaller, whole, inside it;
// one that fits keeps the font.
TEST_F(Controls, TextButtonsCaptionIsDrawnWholeInsideTheButton) {
    const gfx::FontSpec bold{L"Tahoma", -13, 700, false};
    struct Row {
        const wchar_t* caption;
        bool shrinks;
    } rows[] = {{L"Cancel", false}, {L"OK", false}, {L"Wiederholen Sie es bitte", true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.caption)));
        const gfx::FontSpec fitted = CaptionFontFitting(row.caption, bold, 79);
        EXPECT_EQ(fitted.height != bold.height, row.shrinks);
        EXPECT_EQ(fitted.weight, bold.weight);
        CUIButton button;
        ASSERT_TRUE(button.CreateChild(panel, 1002, gfx::Rect::FromXywh(30, 30, 79, 25)));
        button.SetFont(bold);
        button.SetCaption(row.caption);
        button.SetImageFile(Theme("single.png"));
        button.MoveWindow(gfx::Rect::FromXywh(30, 30, 79, 25));
        Sys().PumpUntilIdle();
        int inkLeft = 79, inkRight = -1, inkTop = 25, inkBottom = -1;
        for (int y = 0; y < 25; ++y)
            for (int x = 0; x < 79; ++x)
                if (At(button, x, y) != test::kSingleFrame) {
                    inkLeft = std::min(inkLeft, x);
                    inkRight = std::max(inkRight, x);
                    inkTop = std::min(inkTop, y);
                    inkBottom = std::max(inkBottom, y);
                }
        EXPECT_GT(inkLeft, 0);
        EXPECT_LT(inkRight, 78);
        EXPECT_GT(inkTop, 0) << "on one line, not wrapped and cut";
        EXPECT_LT(inkBottom, 24);
    }
}

TEST_F(Controls, TextButtonsSecondTipTextReplacesTheFirst) {
    CUIButton button;
    ASSERT_TRUE(button.CreateChild(panel, 1043, gfx::Rect::FromXywh(30, 30, 79, 25)));
    button.SetTipText(L"first");
    button.SetTipText(L"second");
    Backend().MoveMouse(Middle(button));
    Sys().RunFor(1s);
    EXPECT_EQ(button.GetToolTip().ShownText(), L"second");
}

TEST_F(Controls, SliderFillsTheFractionOfItsRangeSqueezedNotCut) {
    struct Row {
        int position;
        int fillWidth;
    } rows[] = {{0, 0}, {33, 99}, {100, 300}, {150, 300}, {-5, 0}};
    CUIBitmapSlider slider;
    ASSERT_TRUE(slider.CreateChild(panel, 1010, gfx::Rect::FromXywh(10, 10, 304, 12)));
    ASSERT_TRUE(slider.SetImages(Theme("progress02.png"), Theme("progress01.png")));
    slider.SetBounds(0, 100, true);
    for (const Row& row : rows) {
        slider.SetPosition(row.position);
        Sys().PumpUntilIdle();
        EXPECT_EQ(slider.FillWidth(), row.fillWidth) << row.position;
        EXPECT_EQ(At(slider, 0, 0), test::kTrack) << row.position;
        EXPECT_EQ(At(slider, 2 + row.fillWidth, 5), test::kTrack) << row.position;
        if (row.fillWidth > 0) {
            EXPECT_EQ(At(slider, 2, 5), test::kFill) << row.position;
            EXPECT_EQ(At(slider, 1 + row.fillWidth, 5), test::kFill) << row.position;
        }
    }
}

TEST_F(Controls, SliderRepaintsForTheSameOutOfRangeValueButNotTheSameInRangeOne) {
    CUIBitmapSlider slider;
    ASSERT_TRUE(slider.CreateChild(panel, 1010, gfx::Rect::FromXywh(10, 10, 304, 12)));
    ASSERT_TRUE(slider.SetImages(Theme("progress02.png"), Theme("progress01.png")));
    struct Row {
        int position;
        bool repaints;
    } rows[] = {{40, true}, {40, false}, {140, true}, {140, true}, {100, false}, {100, false}};
    for (const Row& row : rows) {
        const long before = Compositions();
        slider.SetPosition(row.position);
        EXPECT_EQ(Compositions() > before, row.repaints) << row.position;
    }
}

TEST_F(Controls, SliderWithEqualBoundsOrWithoutImagesDrawsNoFill) {
    CUIBitmapSlider slider;
    ASSERT_TRUE(slider.CreateChild(panel, 1010, gfx::Rect::FromXywh(10, 10, 304, 12)));
    Sys().PumpUntilIdle();
    EXPECT_EQ(At(slider, 0, 0), test::kParent) << "no images: nothing painted";
    ASSERT_TRUE(slider.SetImages(Theme("progress02.png"), Theme("progress01.png")));
    slider.SetBounds(50, 50, true);
    slider.SetPosition(70);
    Sys().PumpUntilIdle();
    EXPECT_EQ(slider.FillWidth(), 0);
    EXPECT_EQ(At(slider, 3, 5), test::kTrack);
}

TEST_F(Controls, LabelAnswersItsColourRequestTransparentOrOpaque) {
    CUIHMXStatic label;
    ASSERT_TRUE(label.CreateChild(panel, 1001, gfx::Rect::FromXywh(10, 10, 200, 20), L"x"));
    label.SetForeColor(0x0000FF);
    label.SetBackColor(0x00FF00);
    for (bool transparent : {true, false}) {
        label.SetTransparentMode(transparent);
        ui::ControlColors colors;
        panel.OnCtlColor(label, colors);
        EXPECT_EQ(colors.text, 0x0000FFu);
        EXPECT_EQ(colors.transparent, transparent);
        EXPECT_EQ(colors.brush,
                  transparent ? ui::ControlColors::Brush::Hollow : ui::ControlColors::Brush::Solid);
        if (!transparent) {
            EXPECT_EQ(colors.brushColor, 0x00FF00u);
        }
        label.Invalidate();  // the mode alone repaints nothing
        Sys().PumpUntilIdle();
        const gfx::Argb corner = At(label, 190, 15);
        EXPECT_EQ(corner, transparent ? test::kParent : gfx::ArgbFromColorRef(0x00FF00));
    }
}

TEST_F(Controls, LabelUpdateTextRepaintsOnlyForAChangedText) {
    CUIHMXStatic label;
    ASSERT_TRUE(label.CreateChild(panel, 1001, gfx::Rect::FromXywh(10, 10, 200, 20), L"Ready"));
    const std::wstring longText(300, L'x');
    struct Row {
        std::wstring text;
        bool repaints;
    } rows[] = {{L"Ready", false}, {L"ready", true}, {L"ready", false},
                {longText, true},  {longText, true},  // only 259 characters are read back
                {L"Done", true}};
    for (const Row& row : rows) {
        const long before = Compositions();
        EXPECT_TRUE(label.UpdateText(row.text));
        EXPECT_EQ(Compositions() > before, row.repaints) << row.text.size();
        EXPECT_EQ(label.GetWindowText(), row.text);
    }
}

TEST_F(Controls, LabelFontOperationsChangeOneFieldAndKeepTheRest) {
    CUIHMXStatic label;
    ASSERT_TRUE(label.CreateChild(panel, 1001, gfx::Rect::FromXywh(10, 10, 200, 20), L"x"));
    label.SetFont({L"Verdana", -11, 400, true});
    label.SetBold(true);
    label.SetCharHeight(-12);
    EXPECT_EQ(label.GetFont(), (gfx::FontSpec{L"Verdana", -12, 700, true}));
    label.SetFontSpec(9, false, false, L"Tahoma");
    EXPECT_EQ(label.GetFont(), (gfx::FontSpec{L"Tahoma", -12, 400, false}));
    label.SetFaceName(std::wstring(40, L'F'));
    EXPECT_EQ(label.GetFont().face.size(), CUIHMXStatic::kMaxFaceName);
}

}  // namespace
