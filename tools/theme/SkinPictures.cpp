// Snapshots of the skinned controls for the README, made on the headless backend from a demo
// installation's theme and string table: the update window's controls, and the error and
// question boxes, in English and German.
//   skin_pictures PROGRAM_FOLDER OUT_FOLDER
#include <cstdio>
#include <string>

#include "GdipButton.h"
#include "SkinSource.h"
#include "StringTable.h"
#include "UIBitmapSlider.h"
#include "UIButton.h"
#include "UIHMXStatic.h"
#include "UIMessageBox.h"
#include "UIMessageBoxYN.h"
#include "clock/ManualClock.h"
#include "fs/Paths.h"
#include "ui/System.h"
#include "ui/headless/HeadlessBackend.h"

using namespace vesk;

namespace {

constexpr const wchar_t* kStringTable = L"VeskClient_String_Table.dat";

// Boxes are shown for real so they can be photographed.
class ShowingBackend : public ui::headless::HeadlessBackend {
public:
    std::optional<int> AnswerBox(const ui::BoxInfo&) override { return std::nullopt; }
};

// What the window shows: its region of the last composition.
bool Save(ui::Window& window, const std::string& path) {
    const gfx::Surface* composed = ui::System::Current()->Composed(window.GetHwnd());
    if (!composed) return false;
    const gfx::Rect shown = window.GetWindowRegion().value_or(window.GetClientRect());
    gfx::Surface out(shown.Width(), shown.Height());
    gfx::Canvas(out).Copy({0, 0, shown.Width(), shown.Height()},
                          gfx::Canvas(const_cast<gfx::Surface&>(*composed)), shown.TopLeft());
    return out.SavePng(path);
}

// The update window's controls as that window lays them out, on its background.
class UpdatePanel : public ui::Window {
public:
    std::unique_ptr<gfx::Bitmap> background;
    std::unique_ptr<gfx::Bitmap> indicator;
    bool OnEraseBkgnd(gfx::Canvas&) override { return true; }
    void OnPaint(gfx::Canvas& dc) override {
        if (background) dc.DrawImage(*background, GetClientRect());
        if (indicator) {
            const gfx::Rect at =
                gfx::Rect::FromXywh(15, 38, indicator->Width(), indicator->Height());
            dc.FillRect(at, gfx::ArgbFromColorRef(0x0F0F0F));
            dc.DrawImage(*indicator, at.TopLeft());
        }
    }
    void OnCtlColor(ui::Window&, ui::ControlColors& colors) override {
        colors.text = 0xC8C8C8;
        colors.transparent = true;
        colors.brush = ui::ControlColors::Brush::Hollow;
    }
};

bool PhotographPanel(const SkinSource& skin, const std::string& path) {
    UpdatePanel panel;
    panel.background = std::make_unique<gfx::Bitmap>(
        gfx::Bitmap::FromFile(fs::NativePath(skin.ThemePath(L"themes/classic/bg-update03.png"))));
    panel.indicator = std::make_unique<gfx::Bitmap>(
        gfx::Bitmap::FromFile(fs::NativePath(skin.ThemePath(L"themes/classic/ico-preload.gif"))));
    if (!panel.CreateTopLevel({0, 0, 400, 150}, skin.Text(L"IDS_POPDLG_UPDATE_TITLE")))
        return false;
    CUIHMXStatic title, status;
    title.CreateChild(panel, 1000, {12, 6, 300, 24});
    title.SetForeColor(0xACACAC);
    title.SetBold(true);
    title.SetCharHeight(-12);
    title.UpdateText(skin.Text(L"IDS_POPDLG_UPDATE_TITLE"));
    status.CreateChild(panel, 1001, {50, 45, 385, 65});
    status.SetAlignment(gfx::TextAlign::Left);
    status.SetForeColor(0xC8C8C8);
    status.SetCharHeight(-12);
    status.UpdateText(skin.Text(L"IDS_POPDLG_UPDATE_TEXT3") + L" 62 %");
    CGdipButton exit;
    exit.CreateChild(panel, 1003, gfx::Rect::FromXywh(372, 7, 18, 18));
    exit.LoadNormalImage(skin.ThemePath(L"themes/classic/btn_main_exit.png"));
    CUIBitmapSlider slider;
    slider.CreateChild(panel, 1010, {15, 70, 385, 80});
    slider.SetImages(skin.ThemePath(L"themes/classic/progress02.png"),
                     skin.ThemePath(L"themes/classic/progress01.png"));
    slider.SetBounds(0, 100, false);
    slider.SetPosition(62);
    CUIButton cancel;
    cancel.CreateChild(panel, 1002, gfx::Rect::FromXywh(160, 108, 79, 25));
    cancel.SetFont({L"Tahoma", -13, 700, false});
    cancel.SetCaption(skin.Text(L"IDS_POPDLG_UPDATE_CANCEL"));
    cancel.SetImageFile(skin.ThemePath(L"themes/classic/btn_logout_cancel.png"));
    cancel.MoveWindow(gfx::Rect::FromXywh(160, 108, 79, 25));
    panel.ShowWindow(true);
    ui::System::Current()->PumpUntilIdle();
    return Save(panel, path);
}

// Runs the box until its fade has ended, photographs it and closes it.
template <class Box>
bool PhotographBox(Box& box, const std::string& path) {
    bool saved = false, done = false;
    ui::System::Current()->SetIdleObserver([&] {
        if (done || !box.IsCreated() || !box.IsWindowVisible() || box.GetAlpha() != 255) return;
        done = true;
        saved = Save(box, path);
        box.PostMessage(ui::WM_KEYDOWN, ui::VK_ESCAPE);
    });
    box.DoModal();
    ui::System::Current()->SetIdleObserver({});
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: skin_pictures PROGRAM_FOLDER OUT_FOLDER\n");
        return 2;
    }
    const std::wstring folder = fs::WidePath(std::string(argv[1]) + "/");
    const std::string out = std::string(argv[2]) + "/";
    clock::ManualClock time;
    clock::Install(&time);
    ui::System system(std::make_unique<ShowingBackend>());
    bool ok = true;
    for (const auto& [language, tag] : {std::pair{1, "en"}, std::pair{2, "de"}}) {
        CStringTable table;
        if (!table.Load(folder + kStringTable, language - 1)) {
            std::fprintf(stderr, "skin_pictures: cannot read the string table\n");
            return 1;
        }
        SetSkinSource(
            {[&table](std::wstring_view key) { return table.GetString(key); }, folder, language});
        const SkinSource& skin = TheSkinSource();
        ok &= PhotographPanel(skin, out + "update-window-" + tag + ".png");
        CUIMessageBox error(nullptr, skin.Text(L"IDS_POPDLG_ERROR_UPTFAILED"),
                            skin.Text(L"IDS_POPDLG_ERROR_TITLE"));
        ok &= PhotographBox(error, out + "error-box-" + tag + ".png");
        CUIMessageBoxYN question(nullptr, skin.Text(L"IDS_POPDLG_RETRY_TEXT") + L"Web Browser",
                                 skin.Text(L"IDS_POPDLG_RETRY_TITLE"));
        ok &= PhotographBox(question, out + "question-box-" + tag + ".png");
    }
    SetSkinSource({});
    clock::Install(nullptr);
    if (!ok) std::fprintf(stderr, "skin_pictures: a picture could not be made\n");
    return ok ? 0 : 1;
}
