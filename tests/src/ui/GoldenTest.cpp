#include <gtest/gtest.h>

#include "ColorMatrices.h"
#include "DrawCenteredCaption.h"
#include "Golden.h"
#include "LoadImageViaStream.h"
#include "clock/ManualClock.h"
#include "fs/Paths.h"
#include "ui/Button.h"
#include "ui/Static.h"
#include "ui/System.h"
#include "ui/headless/HeadlessBackend.h"

using namespace vesk;

namespace {

std::wstring Resource(const char* name) {
    return fs::WidePath(std::string(VESK_TEST_RESOURCES) + "/" + name);
}

// A panel drawn as the skinned windows draw: background stretched, images at points, the
// derived looks, a transparent label and an owner-drawn captioned button.
class Panel : public ui::Window {
public:
    std::unique_ptr<gfx::Bitmap> background = LoadImageViaStream(Resource("background.png"));
    std::unique_ptr<gfx::Bitmap> exit = LoadImageViaStream(Resource("exit18.png"));
    bool OnEraseBkgnd(gfx::Canvas&) override { return true; }
    void OnPaint(gfx::Canvas& dc) override {
        dc.DrawImage(*background, GetClientRect());
        dc.DrawImage(*exit, gfx::Point{6, 6});
        dc.DrawImageWithMatrix(*exit, gfx::Rect::FromXywh(30, 6, 18, 18), HotMatrix);
        dc.DrawImageWithMatrix(*exit, gfx::Rect::FromXywh(54, 6, 18, 18), GrayMatrix);
        dc.DrawImagePart(*exit, {9, 0, 18, 18}, {78, 6});
    }
    void OnCtlColor(ui::Window&, ui::ControlColors& colors) override {
        colors.text = 0xACACAC;
        colors.transparent = true;
        colors.brush = ui::ControlColors::Brush::Hollow;
    }
};

class CaptionButton : public ui::Button {
    void DrawItem(gfx::Canvas& dc, const ui::DrawItemInfo& item) override {
        dc.FillRect(item.item, 0xFF505050u);
        DrawCenteredCaption(*this, dc, L"Cancel", 0x1F1F1F);
    }
};

TEST(Golden, SkinnedPanelComposesAsRecorded) {
    clock::ManualClock clock;
    clock::Install(&clock);
    {
        ui::System system(std::make_unique<ui::headless::HeadlessBackend>());
        Panel panel;
        ASSERT_TRUE(panel.CreateTopLevel({0, 0, 200, 90}, L"panel"));
        panel.SetFont({L"Tahoma", -12, 700, false});
        ui::Static label;
        label.SetAlignment(gfx::TextAlign::Center);
        ASSERT_TRUE(label.CreateChild(panel, 1001, {10, 30, 190, 56},
                                      L"Downloading the update, please wait"));
        CaptionButton button;
        button.SetOwnerDraw(true);
        ASSERT_TRUE(button.CreateChild(panel, 1002, {110, 60, 189, 85}));
        button.SetFont({L"Arial", -13, 700, false});  // the caption keeps size and weight, not face
        panel.ShowWindow(true);
        system.PumpUntilIdle();
        const gfx::Surface* composed = system.Composed(panel.GetHwnd());
        ASSERT_NE(composed, nullptr);
        EXPECT_EQ(composed->Pixel(7, 7), 0xFF3C1414u) << "image at its point";
        EXPECT_TRUE(test::MatchesGolden(*composed, "skinned_panel.png"));
    }
    clock::Install(nullptr);
}

}  // namespace
