// The skinned boxes run modally on real windows: their results by button and key, the layout
// by language, the drag band, the fade, and a box asked from a worker whose owner goes.
#include <gtest/gtest.h>

#include <future>

#include "SkinFixture.h"
#include "UIMessageBox.h"
#include "UIMessageBoxYN.h"
#include "ui/WindowHandle.h"

using namespace vesk;
using namespace std::chrono_literals;

namespace {

class MessageBoxes : public test::SkinFixture {};

TEST_F(MessageBoxes, EachButtonAndEscapeEndTheBoxWithItsResult) {
    enum class Act { CloseText, CloseImage, Ok, Cancel, Escape, Enter };
    struct Row {
        bool question;
        Act act;
        int result;
    } rows[] = {
        {false, Act::CloseText, ui::IDOK},  {false, Act::CloseImage, ui::IDOK},
        {false, Act::Escape, ui::IDCANCEL}, {true, Act::Ok, ui::IDOK},
        {true, Act::Cancel, ui::IDCANCEL},  {true, Act::CloseImage, ui::IDCANCEL},
        {true, Act::Escape, ui::IDCANCEL},  {true, Act::Enter, ui::IDOK},
    };
    for (const Row& row : rows) {
        const int act = static_cast<int>(row.act);
        if (row.act == Act::Escape || row.act == Act::Enter) {
            const int key = row.act == Act::Escape ? ui::VK_ESCAPE : ui::VK_RETURN;
            auto press = [&](ui::Window&) { Backend().PressKey(key); };
            int result = 0;
            if (row.question) {
                CUIMessageBoxYN box(nullptr, L"text", L"title");
                result = RunWith<CUIMessageBoxYN>(box, press);
            } else {
                CUIMessageBox box(nullptr, L"text", L"title");
                result = RunWith<CUIMessageBox>(box, press);
            }
            EXPECT_EQ(result, row.result) << "question " << row.question << " act " << act;
            continue;
        }
        int result = 0;
        if (row.question) {
            CUIMessageBoxYN box(nullptr, L"text", L"title");
            result = RunWith<CUIMessageBoxYN>(box, [&](CUIMessageBoxYN& b) {
                Click(row.act == Act::Ok       ? static_cast<ui::Window&>(b.m_btnOK)
                      : row.act == Act::Cancel ? static_cast<ui::Window&>(b.m_btnCancel)
                                               : static_cast<ui::Window&>(b.m_btnClose));
            });
        } else {
            CUIMessageBox box(nullptr, L"text", L"title");
            result = RunWith<CUIMessageBox>(box, [&](CUIMessageBox& b) {
                Click(row.act == Act::CloseText ? static_cast<ui::Window&>(b.m_btnCloseText)
                                                : static_cast<ui::Window&>(b.m_btnClose));
            });
        }
        EXPECT_EQ(result, row.result) << "question " << row.question << " act " << act;
    }
}

TEST_F(MessageBoxes, TheQuestionsButtonsAreLaidOutByLanguage) {
    struct Row {
        int language;
        gfx::Rect ok, cancel;
    } rows[] = {
        {2, gfx::Rect::FromXywh(83, 110, 150, 25), gfx::Rect::FromXywh(243, 110, 79, 25)},
        {1, gfx::Rect::FromXywh(115, 110, 83, 25), gfx::Rect::FromXywh(205, 110, 79, 25)},
        {3, gfx::Rect::FromXywh(115, 110, 83, 25), gfx::Rect::FromXywh(205, 110, 79, 25)},
    };
    for (const Row& row : rows) {
        UseLanguage(row.language);
        CUIMessageBoxYN box(nullptr, L"text", L"title");
        gfx::Rect ok, cancel;
        int okImageWidth = 0;
        RunWith<CUIMessageBoxYN>(box, [&](CUIMessageBoxYN& b) {
            ok = b.m_btnOK.GetWindowRect();
            cancel = b.m_btnCancel.GetWindowRect();
            okImageWidth = b.m_btnOK.Image() ? b.m_btnOK.Image()->Width() : 0;
            Backend().PressKey(ui::VK_ESCAPE);
        });
        EXPECT_EQ(ok, row.ok) << row.language;
        EXPECT_EQ(cancel, row.cancel) << row.language;
        EXPECT_EQ(okImageWidth, row.language == 2 ? 150 : 79) << row.language;
    }
}

TEST_F(MessageBoxes, TheErrorBoxPlacesItsControlsAndCaptions) {
    CUIMessageBox box(nullptr, L"The update failed.", L"Error");
    RunWith<CUIMessageBox>(box, [&](CUIMessageBox& b) {
        EXPECT_EQ(b.GetClientRect(), (gfx::Rect{0, 0, 393, 190}));
        EXPECT_EQ(b.m_btnCloseText.GetWindowRect(), gfx::Rect::FromXywh(160, 150, 79, 25));
        EXPECT_FALSE(b.m_btnMin.IsWindowVisible());
        EXPECT_EQ(b.m_stTitle.GetWindowText(), L"Error");
        EXPECT_EQ(b.m_stText.GetWindowText(), L"The update failed.");
        EXPECT_EQ(b.m_stTitle.GetFont(), (gfx::FontSpec{L"Tahoma", -12, 700, false}));
        EXPECT_EQ(b.m_btnCloseText.GetFont(), (gfx::FontSpec{L"Tahoma", -13, 700, false}));
        EXPECT_EQ(b.GetWindowRegion(), (gfx::Rect{4, 4, 389, 186}));
        Backend().PressKey(ui::VK_ESCAPE);
    });
}

TEST_F(MessageBoxes, OnlyTheTopBandDragsTheBox) {
    struct Row {
        int y;
        bool moves;
    } rows[] = {{5, true}, {27, true}, {28, false}, {60, false}};
    for (const Row& row : rows) {
        CUIMessageBox box(nullptr, L"text", L"title");
        gfx::Rect before, after;
        RunWith<CUIMessageBox>(box, [&](CUIMessageBox& b) {
            before = b.GetWindowRect();
            const gfx::Point from = b.ClientToScreen({60, row.y});
            const gfx::Point to{from.x + 30, from.y + 20};
            Backend().MoveMouse(from);
            Backend().Press(from);
            Backend().MoveMouse(to);
            Backend().Release(to);
            ui::System::Current()->PumpUntilIdle();
            after = b.GetWindowRect();
            Backend().PressKey(ui::VK_ESCAPE);
        });
        EXPECT_EQ(after != before, row.moves) << row.y;
        if (row.moves) {
            EXPECT_EQ(after, before.Offset(30, 20)) << row.y;
        }
    }
}

TEST_F(MessageBoxes, TheBoxFadesInFromInvisibleToFullyOpaque) {
    for (bool question : {false, true}) {
        std::unique_ptr<CSkinnedBox> box;
        if (question)
            box = std::make_unique<CUIMessageBoxYN>(nullptr, L"text", L"title");
        else
            box = std::make_unique<CUIMessageBox>(nullptr, L"text", L"title");
        ui::Hwnd hwnd = 0;
        int alphaWhenActed = -1;
        bool acted = false;
        Sys().SetIdleObserver([&] {
            if (!box->IsWindowVisible()) return;
            hwnd = box->GetHwnd();
            // Once the fade has ended the box answers.
            if (!acted && box->GetAlpha() == 255) {
                acted = true;
                alphaWhenActed = box->GetAlpha();
                Backend().PressKey(ui::VK_ESCAPE);
            }
        });
        EXPECT_EQ(box->DoModal(), ui::IDCANCEL);
        Sys().SetIdleObserver({});
        EXPECT_EQ(alphaWhenActed, 255);
        std::vector<int> expected{0};
        for (int alpha = 1; alpha <= 251; alpha += 10) expected.push_back(alpha);
        expected.push_back(255);
        std::vector<int> seen = Driven().alphas[hwnd];
        seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
        EXPECT_EQ(seen, expected) << "question " << question;
    }
}

TEST_F(MessageBoxes, ABoxAskedFromAWorkerReturnsWhenItsOwnerIsClosed) {
    enum class When { BeforeItShows, WhileItShows };
    for (When when : {When::BeforeItShows, When::WhileItShows}) {
        test::Panel owner;
        ASSERT_TRUE(owner.CreateTopLevel({0, 0, 400, 150}, L"update"));
        owner.ShowWindow(true);
        Sys().SetMainWindow(owner);
        std::atomic<CUIMessageBoxYN*> shown{nullptr};
        const int wakes = Driven().Wakes();
        auto answer = std::async(std::launch::async, [&] {
            return ui::WindowHandle::Main().RunBox([&](ui::Window& o) {
                auto box = std::make_unique<CUIMessageBoxYN>(&o, L"Close the browser", L"Retry");
                shown = box.get();
                return box;
            });
        });
        if (when == When::BeforeItShows) {
            Driven().WaitForWakes(wakes + 1);
            owner.DestroyWindow();
        } else {
            // The owner goes from inside the box's own loop, as a cancel would end the dialog.
            Sys().SetIdleObserver([&] {
                // The box goes with its owner, so it is looked at only while the owner exists.
                if (owner.IsCreated() && shown.load() && shown.load()->IsWindowVisible())
                    owner.DestroyWindow();
            });
            while (answer.wait_for(0s) != std::future_status::ready) Sys().RunFor(10ms);
            Sys().SetIdleObserver({});
        }
        EXPECT_EQ(answer.get(), -1) << "the worker returned";
        EXPECT_FALSE(owner.IsCreated());
    }
}

}  // namespace
