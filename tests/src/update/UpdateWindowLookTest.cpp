// The update window and its boxes as drawn on the headless backend, in each language of the
// demo: the application's icon, the busy animation clear of the status line, and every caption
// inside its button, in Tahoma and in the face that stands in for it.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>

#include "SkinSource.h"
#include "StringTable.h"
#include "TempDir.h"
#include "TestHttpServer.h"
#include "UIMessageBox.h"
#include "UIMessageBoxYN.h"
#include "UiFixture.h"
#include "UpdateLog.h"
#include "UpdateSettings.h"
#include "UpdateTexts.h"
#include "UpdateWindowMessages.h"
#include "VeskUpdateDlg.h"
#include "WorkerThreads.h"
#include "gfx/Font.h"
#include "net/InternetConnection.h"
#include "text/Utf.h"

namespace {

using namespace vesk;
using test::WriteFileBytes;

constexpr const char* kLanguages[] = {"English", "German", "French"};

// The smallest rectangle holding every pixel that differs between two pictures.
gfx::Rect Changed(const gfx::Surface& before, const gfx::Surface& after) {
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
    for (int y = 0; y < std::min(before.Height(), after.Height()); ++y)
        for (int x = 0; x < std::min(before.Width(), after.Width()); ++x) {
            if (before.Pixel(x, y) == after.Pixel(x, y)) continue;
            left = std::min(left, x);
            top = std::min(top, y);
            right = std::max(right, x + 1);
            bottom = std::max(bottom, y + 1);
        }
    return left > right ? gfx::Rect{} : gfx::Rect{left, top, right, bottom};
}

std::string Describe(const gfx::Rect& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

// An installation in a temporary folder whose manifest never comes, so the window waits, with
// the demo's theme and its texts in the language of the test.
class UpdateWindowLookTest : public ui::test::UiFixture, public testing::WithParamInterface<int> {
protected:
    UpdateWindowLookTest() {
        std::filesystem::create_directories(m_folder / "themes/classic");
        for (const auto& image : std::filesystem::directory_iterator(VESK_THEME_DIR))
            std::filesystem::copy_file(image.path(),
                                       m_folder / "themes/classic" / image.path().filename());
        std::filesystem::create_directories(m_folder / "tmp");
        std::filesystem::copy_file(VESK_DEMO_STRING_TABLE,
                                   m_folder / "VeskClient_String_Table.dat");
        TheStringTable().Load(m_folder.wide() + L"VeskClient_String_Table.dat", GetParam());
        m_server.Serve("/updates/veskversion.xml", {.body = "<root/>", .holdAfterHeaders = true});
        WriteFileBytes(m_folder / "version.ini", "[versioninfo]\r\nversion=1.0\r\nurl=" +
                                                     m_server.Url("/updates/veskversion.xml") +
                                                     "\r\n");
        TheUpdateSettings().programFolder = m_folder.wide();
        SetSkinSource({[](std::wstring_view key) { return TheStringTable().GetString(key); },
                       m_folder.wide(), GetParam() + 1});
        OpenUpdateLog(m_folder.wide().c_str(), L"VESKUpdateLog.txt", L"w+");
        net::SetInternetConnectedForTesting(true);
    }
    ~UpdateWindowLookTest() override {
        m_server.Release();
        WaitForDetachedThreads();
        CloseUpdateLog();
        net::SetInternetConnectedForTesting(std::nullopt);
        SetSkinSource({});
        gfx::UseTahomaStandInForTesting(false);
    }

    // Runs a window modally; once it shows, looks at it and closes it.
    template <class W>
    void Look(W& window, const std::function<void(W&)>& look) {
        bool looked = false;
        Sys().SetIdleObserver([&] {
            if (looked || !window.IsCreated() || !window.IsWindowVisible()) return;
            looked = true;
            look(window);
            window.EndDialog(0);
        });
        window.DoModal();
        Sys().SetIdleObserver({});
        EXPECT_TRUE(looked) << "the window never showed";
    }
    // The window's picture once everything asked for is drawn.
    gfx::Surface Picture(ui::Window& topLevel) {
        Sys().PumpUntilIdle();
        const gfx::Surface* composed = Sys().Composed(topLevel.GetHwnd());
        return composed ? composed->Copy() : gfx::Surface();
    }
    // Where a button's caption is drawn: what changes in the picture when the caption goes.
    gfx::Rect CaptionDrawn(ui::Window& topLevel, CUIButton& button, const std::wstring& caption) {
        button.ShowWindow(true);
        button.Invalidate();
        const gfx::Surface with = Picture(topLevel);
        button.SetCaption(L"");
        button.Invalidate();
        const gfx::Surface without = Picture(topLevel);
        button.SetCaption(caption);
        return Changed(without, with);
    }
    // The caption is drawn whole inside its button: ink on it, and none on the button's edge
    // columns, where the drawing would be cut off.
    void ExpectCaptionInside(ui::Window& topLevel, CUIButton& button, const wchar_t* key) {
        const std::wstring caption = TheSkinSource().Text(key);
        const gfx::Rect drawn = CaptionDrawn(topLevel, button, caption);
        const gfx::Rect box = button.GetWindowRect();
        const gfx::Rect inner = box.Deflate(1);
        EXPECT_FALSE(drawn.IsEmpty()) << text::WideToUtf8(caption);
        EXPECT_EQ(drawn.Intersect(inner), drawn)
            << text::WideToUtf8(caption) << " drawn at " << Describe(drawn) << " in a button at "
            << Describe(box);
    }

    test::TempDir m_folder;
    test::TestHttpServer m_server;
};

TEST_P(UpdateWindowLookTest, TheBusyAnimationStandsClearOfTheStatusText) {
    CVeskUpdateDlg window({});
    Look<CVeskUpdateDlg>(window, [&](CVeskUpdateDlg& w) {
        // The direct download's look: its text on the status line, then the animation.
        w.m_stStatus.SetWindowText(L"");
        const gfx::Surface blank = Picture(w);
        w.m_stStatus.SetWindowText(UpdateText(L"IDS_POPDLG_UPDATE_TEXT6"));
        const gfx::Surface text = Picture(w);
        w.SendMessage(WM_UPDATE_ANIMATION_START);
        const gfx::Surface animated = Picture(w);
        w.SendMessage(WM_UPDATE_ANIMATION_STOP);

        const gfx::Rect textDrawn = Changed(blank, text);
        const gfx::Rect animationDrawn = Changed(text, animated);
        const gfx::Rect animation = w.m_picture.GetWindowRect();
        ASSERT_FALSE(textDrawn.IsEmpty());
        ASSERT_FALSE(animationDrawn.IsEmpty()) << "the animation drew nothing";
        EXPECT_EQ(animationDrawn.Intersect(animation), animationDrawn);
        EXPECT_TRUE(textDrawn.Intersect(animation).IsEmpty())
            << "text at " << Describe(textDrawn) << ", animation at " << Describe(animation);
        // Still centred over the window, as the status text is.
        EXPECT_NEAR(animation.left + animation.Width() / 2, w.GetClientRect().Width() / 2, 1);
    });
}

TEST_P(UpdateWindowLookTest, TheWindowCarriesTheThemesIconAndShowsItMinimised) {
    CVeskUpdateDlg window({});
    Look<CVeskUpdateDlg>(window, [&](CVeskUpdateDlg& w) {
        const gfx::Surface* icon = Backend().Icon(w.GetHwnd());
        ASSERT_NE(icon, nullptr) << "the display was given no icon";
        EXPECT_EQ(icon->Width(), 32);
        const gfx::Surface shown = Picture(w);
        w.MinimizeWindow();
        w.Invalidate();
        const gfx::Surface minimised = Picture(w);
        const gfx::Rect client = w.GetClientRect();
        const gfx::Point at{(client.Width() - icon->Width() + 1) / 2,
                            (client.Height() - icon->Height() + 1) / 2};
        for (const gfx::Point p : {gfx::Point{16, 16}, gfx::Point{4, 28}, gfx::Point{16, 8}})
            EXPECT_EQ(minimised.Pixel(at.x + p.x, at.y + p.y), icon->Pixel(p.x, p.y));
        EXPECT_EQ(Changed(shown, minimised).Intersect({at.x, at.y, at.x + 32, at.y + 32}),
                  Changed(shown, minimised))
            << "only the icon is painted over the picture";
        w.ShowWindow(true);
        w.Invalidate();
        EXPECT_TRUE(Changed(shown, Picture(w)).IsEmpty()) << "shown again without the icon";
    });
}

// In Tahoma (false) and in its stand-in (true).
class CaptionFitTest : public UpdateWindowLookTest {};

TEST_P(CaptionFitTest, EveryCaptionFitsItsButtonInBothFaces) {
    for (const bool standIn : {false, true}) {
        SCOPED_TRACE(standIn ? "stand-in face" : "Tahoma");
        gfx::UseTahomaStandInForTesting(standIn);
        CVeskUpdateDlg window({});
        Look<CVeskUpdateDlg>(window, [&](CVeskUpdateDlg& w) {
            ExpectCaptionInside(w, w.m_btnCancel, L"IDS_POPDLG_UPDATE_CANCEL");
        });
        CUIMessageBox error(nullptr, L"text", L"caption");
        Look<CUIMessageBox>(error, [&](CUIMessageBox& box) {
            auto* close = dynamic_cast<CUIButton*>(box.GetDlgItem(CUIMessageBox::IDC_CLOSE_TEXT));
            ASSERT_NE(close, nullptr);
            ExpectCaptionInside(box, *close, L"IDS_POPDLG_ERROR_CLOSE");
        });
        CUIMessageBoxYN question(nullptr, L"text", L"caption");
        Look<CUIMessageBoxYN>(question, [&](CUIMessageBoxYN& box) {
            auto* ok = dynamic_cast<CUIButton*>(box.GetDlgItem(CUIMessageBoxYN::IDC_OK));
            auto* cancel = dynamic_cast<CUIButton*>(box.GetDlgItem(CUIMessageBoxYN::IDC_CANCEL));
            ASSERT_TRUE(ok && cancel);
            ExpectCaptionInside(box, *ok, L"IDS_POPDLG_RETRY_OK");
            ExpectCaptionInside(box, *cancel, L"IDS_POPDLG_RETRY_CANCEL");
        });
    }
}

std::string LanguageName(const testing::TestParamInfo<int>& info) {
    return kLanguages[info.param];
}

INSTANTIATE_TEST_SUITE_P(Demo, UpdateWindowLookTest, testing::Values(0, 1, 2), LanguageName);
INSTANTIATE_TEST_SUITE_P(Demo, CaptionFitTest, testing::Values(0, 1, 2), LanguageName);

}  // namespace
