// What the skinned controls build on: fades, layered and minimised windows, owned windows,
// icons, system colours, the dialog face, the shared drawing surface, and a loop under a clock
// that runs faster than real time.
#include <future>
#include <thread>

#include "UiFixture.h"
#include "clock/ScaledClock.h"
#include "ui/Dialog.h"
#include "ui/SharedSurface.h"
#include "ui/SysColors.h"
#include "ui/ToolTip.h"
#include "ui/WindowHandle.h"

using namespace vesk::ui;
using namespace std::chrono_literals;

namespace {

using test::kDone;
using Main = test::EndsItsLoopOnDone;

class WindowFeatures : public vesk::ui::test::UiFixture {};

TEST_F(WindowFeatures, ABoxFadeStepsFromInvisibleToOpaqueAndEndsWithItsWindow) {
    Main box;
    ASSERT_TRUE(box.CreateTopLevel({0, 0, 50, 50}));
    box.SetLayered();
    box.ShowWindow(true);
    Sys().PumpUntilIdle();
    EXPECT_EQ(box.GetAlpha(), 0) << "a layered window shows nothing before its fade";
    box.Fade(1, 255, 10, 15ms);
    std::vector<int> seen{box.GetAlpha()};
    for (int i = 0; i < 30; ++i) {
        Sys().RunFor(15ms);
        if (seen.back() != box.GetAlpha()) seen.push_back(box.GetAlpha());
    }
    ASSERT_EQ(seen.size(), 27u);
    EXPECT_EQ(seen[1], 11);
    EXPECT_EQ(seen[25], 251);
    EXPECT_EQ(seen.back(), 255) << "never left short of opaque";
    EXPECT_EQ(Backend().View(box.GetHwnd())->alpha, 255);

    box.Fade(1, 255, 10, 15ms);
    box.DestroyWindow();  // the fade goes with it; nothing steps a window that is gone
    Sys().RunFor(100ms);
    EXPECT_EQ(Sys().Stats().waits > 0, true);
}

// Counts what reaches the display.
class CountingBackend : public vesk::ui::headless::HeadlessBackend {
public:
    void Present(const TopLevelView& window, const vesk::gfx::Surface& composed) override {
        ++presented;
        HeadlessBackend::Present(window, composed);
    }
    int presented = 0;
};

class MinimisedWindows : public vesk::ui::test::UiFixture {
protected:
    MinimisedWindows() : UiFixture(std::make_unique<CountingBackend>()) {}
    CountingBackend& Counting() { return static_cast<CountingBackend&>(Backend()); }
};

TEST_F(MinimisedWindows, PaintButShowNothingAndTakeNoInputUntilShown) {
    struct Painted : Main {
        int clicks = 0;
        vesk::gfx::Argb color = 0xFF0000FFu;
        void OnLButtonDown(vesk::gfx::Point) override { ++clicks; }
        void OnPaint(vesk::gfx::Canvas& dc) override { dc.FillRect(GetClientRect(), color); }
    } box;
    ASSERT_TRUE(box.CreateTopLevel({0, 0, 50, 50}));
    box.ShowWindow(true);
    Sys().PumpUntilIdle();
    box.MinimizeWindow();
    EXPECT_TRUE(box.IsIconic());
    EXPECT_TRUE(Backend().View(box.GetHwnd())->minimized);
    const int presented = Counting().presented;
    // Its picture follows what it paints while minimised (an icon, say), unseen.
    box.color = 0xFF00FF00u;
    box.Invalidate();
    Backend().Press({10, 10});
    Sys().PumpUntilIdle();
    EXPECT_EQ(PixelOf(box, 25, 25), 0xFF00FF00u);
    EXPECT_EQ(Counting().presented, presented);
    EXPECT_EQ(box.clicks, 0);
    box.ShowWindow(true);
    Backend().Press({10, 10});
    Sys().PumpUntilIdle();
    EXPECT_FALSE(box.IsIconic());
    EXPECT_FALSE(Backend().View(box.GetHwnd())->minimized);
    EXPECT_GT(Counting().presented, presented);
    EXPECT_EQ(box.clicks, 1);
}

TEST_F(WindowFeatures, ABoxIsCentredOnItsOwnerAndStaysAboveIt) {
    struct Box : Dialog {
        explicit Box(Window& owner) : Dialog(DialogTemplate{100, 40, L"Box"}, &owner) {}
        bool clicked = false;
        void OnLButtonDown(vesk::gfx::Point) override { clicked = true; }
    };
    struct Probe : Window {
        std::function<void()> run;
        void OnTimer(WPARAM) override { run(); }
    };
    Main owner;
    ASSERT_TRUE(owner.CreateTopLevel({100, 200, 500, 350}));
    owner.ShowWindow(true);
    Box box(owner);
    Probe probe;
    ASSERT_TRUE(probe.CreateTopLevel({0, 0, 1, 1}));
    probe.SetTimer(1, 5ms);
    probe.run = [&] {
        probe.KillTimer(1);
        const vesk::gfx::Rect r = box.GetWindowRect();
        EXPECT_NEAR(r.left + r.Width() / 2, 300, 1);
        EXPECT_NEAR(r.top + r.Height() / 2, 275, 1);
        EXPECT_EQ(Backend().View(box.GetHwnd())->owner, owner.GetHwnd());
        owner.ShowWindow(false);
        owner.ShowWindow(true);  // the owner comes to the top; its box comes above it again
        Backend().Press({300, 275});
        Sys().PumpUntilIdle();
        box.EndDialog(IDOK);
    };
    EXPECT_EQ(box.DoModal(), IDOK);
    EXPECT_TRUE(box.clicked) << "the press reached the box, above its owner";
}

TEST_F(WindowFeatures, ATooltipTakesNoFocusAndBelongsToItsOwner) {
    Main owner;
    ASSERT_TRUE(owner.CreateTopLevel({0, 0, 100, 100}));
    ToolTip tip;
    ASSERT_TRUE(tip.Create(owner));
    tip.ShowWindow(true);
    const TopLevelView* view = Backend().View(tip.GetHwnd());
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(view->takesFocus);
    EXPECT_EQ(view->owner, owner.GetHwnd());
    EXPECT_TRUE(Backend().View(owner.GetHwnd()) == nullptr ||
                Backend().View(owner.GetHwnd())->takesFocus);
}

TEST_F(WindowFeatures, TheIconReachesTheBackendAndGoesWithTheWindow) {
    Main main;
    ASSERT_TRUE(main.CreateTopLevel({0, 0, 10, 10}));
    EXPECT_EQ(main.GetIcon(), nullptr);
    EXPECT_EQ(Backend().Icon(main.GetHwnd()), nullptr);
    for (const vesk::gfx::Argb color : {0xFF00FF00u, 0xFF0000FFu}) {
        vesk::gfx::Surface pixels(16, 16);
        pixels.Clear(color);
        main.SetIcon(vesk::gfx::Bitmap(std::move(pixels)));
        ASSERT_NE(main.GetIcon(), nullptr);
        EXPECT_EQ(main.GetIcon()->Pixel(3, 3), color);
        // The backend keeps a copy: the window's own icon may go at any time.
        const vesk::gfx::Surface* given = Backend().Icon(main.GetHwnd());
        ASSERT_NE(given, nullptr);
        EXPECT_EQ(given->Width(), 16);
        EXPECT_EQ(given->Pixel(3, 3), color) << "a new icon replaces the one before";
        EXPECT_EQ(Backend().View(main.GetHwnd())->icon, given);
    }
    main.SetIcon(vesk::gfx::Bitmap());
    EXPECT_EQ(Backend().Icon(main.GetHwnd()), nullptr);
    main.SetIcon(vesk::gfx::Bitmap(vesk::gfx::Surface(8, 8)));
    const vesk::ui::Hwnd hwnd = main.GetHwnd();
    main.DestroyWindow();
    EXPECT_EQ(Backend().Icon(hwnd), nullptr);
}

TEST(SystemLook, ColoursAndTheDialogFace) {
    struct Row {
        int index;
        vesk::gfx::ColorRef expected;
    } rows[] = {{COLOR_BTNFACE, 0xF0F0F0}, {COLOR_GRAYTEXT, kGrayText}, {COLOR_INFOBK, 0xE1FFFF},
                {COLOR_WINDOW, 0xFFFFFF},  {COLOR_BTNTEXT, 0x000000},   {999, 0x000000}};
    for (const Row& row : rows) EXPECT_EQ(GetSysColor(row.index), row.expected) << row.index;
    for (const wchar_t* face : {L"MS Shell Dlg", L"MS Shell Dlg 2"})
        EXPECT_EQ(Dialog::ResolveTemplateFont({face, -11, 400}).face, L"Tahoma") << face;
    EXPECT_EQ(Dialog::ResolveTemplateFont({L"Arial", -11, 400}).face, L"Arial");
}

// Each frame is one colour: a frame read half old and half new would show two.
TEST(SharedSurfaceTest, TheUiThreadReadsWholeFramesWhileADrawingThreadDraws) {
    SharedSurface shared;
    EXPECT_FALSE(shared.Read([](const vesk::gfx::Surface&) {}));
    std::atomic<bool> stop{false};
    std::thread drawer([&] {
        vesk::gfx::Surface frame(8, 8);
        for (std::uint32_t n = 1; !stop; ++n) {
            if (frame.IsEmpty()) frame = vesk::gfx::Surface(8, 8);
            frame.Clear(0xFF000000u | (n & 0xFFFFFF));
            frame = shared.Exchange(std::move(frame));
        }
    });
    int read = 0;
    while (read < 2000) {
        shared.Read([&](const vesk::gfx::Surface& s) {
            const auto first = s.Pixel(0, 0);
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x) ASSERT_EQ(s.Pixel(x, y), first);
            ++read;
        });
    }
    stop = true;
    drawer.join();
    shared.Clear();
    EXPECT_FALSE(shared.Read([](const vesk::gfx::Surface&) {}));
}

// Under a clock faster than real time the loop still waits in the backend, where a worker's
// message ends the wait, instead of sleeping through to the timer.
TEST_F(WindowFeatures, UnderAScaledClockAWorkersMessageEndsTheWaitForALateTimer) {
    vesk::clock::ScaledClock scaled(10);
    vesk::clock::Install(&scaled);
    Main main;
    ASSERT_TRUE(main.CreateTopLevel({0, 0, 10, 10}));
    main.SetTimer(1, std::chrono::hours(24));
    std::promise<void> idle;
    bool first = true;
    Sys().SetIdleObserver([&] {
        if (std::exchange(first, false)) idle.set_value();
    });
    std::thread worker([&, handle = WindowHandle(main)] {
        idle.get_future().wait();
        handle.Post(kDone);
    });
    EXPECT_EQ(Sys().RunModalLoop(main), 0);
    worker.join();
    EXPECT_LT(scaled.Now(), std::chrono::hours(1));
}

}  // namespace
