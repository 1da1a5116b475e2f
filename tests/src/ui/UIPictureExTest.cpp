// The animated picture on the headless window system: its size, frame timing and disposals
// through an injected clock, single pictures, bad input, and stops and unloads from other
// threads while the drawing thread draws.
#include "UIPictureEx.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "GifWriter.h"
#include "clock/ScaledClock.h"
#include "ui/System.h"
#include "ui/headless/HeadlessBackend.h"

using namespace std::chrono_literals;
using vesk::clock::Milliseconds;
using vesk::gfx::Argb;
using vesk::test::GifWriter;

namespace {

constexpr Argb kRed = 0xFFFF0000u;
constexpr Argb kGreen = 0xFF00FF00u;
constexpr Argb kBlue = 0xFF0000FFu;
constexpr Argb kWhite = 0xFFFFFFFFu;
constexpr vesk::gfx::ColorRef kDark = 0x0F0F0F;
constexpr Argb kDarkArgb = 0xFF0F0F0Fu;
const std::vector<std::uint32_t> kColors = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};

// A clock whose waits block until the test lets them pass, so the drawing thread can be held
// at each frame; once opened, every wait passes at once.
class GatedClock : public vesk::clock::Clock {
public:
    Milliseconds Now() override {
        std::lock_guard lock(m_mutex);
        return m_now;
    }
    vesk::clock::LocalTime LocalNow() override { return {2027, 3, 1, 9, 0, 0, 0}; }
    std::optional<Milliseconds> RealSpan(Milliseconds) override { return std::nullopt; }
    void Sleep(Milliseconds span) override {
        std::unique_lock lock(m_mutex);
        m_sleeps.push_back(span);
        m_now += span;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_open || m_passes > 0; });
        if (!m_open) --m_passes;
    }
    void WaitForSleeps(std::size_t count) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_sleeps.size() >= count; });
    }
    // Lets one held wait go on and waits until the next one starts.
    void Step() {
        std::unique_lock lock(m_mutex);
        const std::size_t next = m_sleeps.size() + 1;
        ++m_passes;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_sleeps.size() >= next; });
    }
    void Open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    std::vector<Milliseconds> Sleeps() {
        std::lock_guard lock(m_mutex);
        return m_sleeps;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    Milliseconds m_now{0};
    std::vector<Milliseconds> m_sleeps;
    int m_passes = 0;
    bool m_open = false;
};

// Time runs faster than real time; a wait for the held span blocks before it starts until the
// test releases it, as a drawing thread that does not answer its stop in time.
class HoldingClock : public vesk::clock::ScaledClock {
public:
    HoldingClock(int factor, Milliseconds held) : ScaledClock(factor), m_held(held) {}
    std::optional<Milliseconds> RealSpan(Milliseconds span) override {
        if (span == m_held) {
            std::unique_lock lock(m_mutex);
            m_reached = true;
            m_changed.notify_all();
            m_changed.wait(lock, [&] { return !m_hold; });
        }
        return ScaledClock::RealSpan(span);
    }
    void WaitUntilReached() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_reached; });
    }
    void Release() {
        std::lock_guard lock(m_mutex);
        m_hold = false;
        m_changed.notify_all();
    }
    void Hold(bool hold) {
        std::lock_guard lock(m_mutex);
        m_hold = hold;
    }

private:
    Milliseconds m_held;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_reached = false;
    bool m_hold = false;
};

// A parent window with the picture at (10, 10), on the headless backend.
class PictureTest : public ::testing::Test {
protected:
    explicit PictureTest(std::unique_ptr<vesk::clock::Clock> clock = nullptr)
        : m_clock(std::move(clock)) {
        vesk::clock::Install(m_clock ? m_clock.get() : &m_gate);
        m_system = std::make_unique<vesk::ui::System>(
            std::make_unique<vesk::ui::headless::HeadlessBackend>());
        m_parent = std::make_unique<vesk::ui::Window>();
        m_parent->CreateTopLevel({0, 0, 80, 80}, L"parent");
        m_picture = std::make_unique<CUIPictureEx>();
        m_picture->CreateChild(*m_parent, 1, {10, 10, 36, 41});
        m_parent->ShowWindow(true);
    }
    ~PictureTest() override {
        m_gate.Open();
        m_picture.reset();
        m_parent.reset();
        m_system.reset();
        vesk::clock::Install(nullptr);
    }
    CUIPictureEx& Picture() { return *m_picture; }
    // The pixel of the picture as the window shows it now.
    Argb Shown(int x, int y) {
        m_system->PumpUntilIdle();
        const vesk::gfx::Surface* composed = m_system->Composed(m_parent->GetHwnd());
        return composed ? composed->Pixel(10 + x, 10 + y) : 0;
    }
    bool Load(const std::vector<std::uint8_t>& bytes) { return m_picture->LoadFromMemory(bytes); }

    GatedClock m_gate;
    std::unique_ptr<vesk::clock::Clock> m_clock;
    std::unique_ptr<vesk::ui::System> m_system;
    std::unique_ptr<vesk::ui::Window> m_parent;
    std::unique_ptr<CUIPictureEx> m_picture;
};

std::vector<std::uint8_t> TwoFrames(int width = 32, int height = 32, const char* version = "89a") {
    return GifWriter(width, height, kColors, version)
        .Control(10, 0)
        .Image(0, 0, 2, 2, 0)
        .Control(10, 0)
        .Image(0, 0, 2, 2, 1)
        .Trailer()
        .Bytes();
}

// A 3 x 2 bitmap file, bottom-up rows of blue, green, red bytes.
std::vector<std::uint8_t> Bmp() {
    std::vector<std::uint8_t> b = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0,  0,
                                   3,   0,   0,  0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0,  0, 16, 0,
                                   0,   0,   0,  0, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0,  0, 0,  0};
    for (int row = 0; row < 2; ++row) {
        for (int x = 0; x < 3; ++x) b.insert(b.end(), {0x00, 0x00, 0xFF});
        b.insert(b.end(), {0, 0, 0});  // rows pad to four bytes
    }
    return b;
}

TEST_F(PictureTest, AnAnimatedGifSizesTheControlOneNarrowerThanItsScreen) {
    ASSERT_TRUE(Load(TwoFrames(32, 32)));
    EXPECT_EQ(Picture().PictureSize(), (vesk::gfx::Size{31, 32}));
    const vesk::gfx::Rect rect = Picture().GetWindowRect();
    EXPECT_EQ(rect, (vesk::gfx::Rect{10, 10, 41, 42})) << "resized in place";
    EXPECT_TRUE(Picture().IsAnimated());
    EXPECT_EQ(Picture().FrameCount(), 2);
    EXPECT_EQ(Picture().GetBackgroundColor(), 0xF0F0F0u) << "the button face replaces the GIF's";
    EXPECT_FALSE(Picture().IsPlaying());
}

TEST_F(PictureTest, PicturesHandedWholeToTheLoaderAreDrawnOnceWithoutAThread) {
    const struct {
        const char* what;
        std::vector<std::uint8_t> bytes;
        bool loads;
        vesk::gfx::Size size;
    } rows[] = {
        {"one-frame GIF",
         GifWriter(4, 3, kColors).Image(0, 0, 4, 3, 2).Trailer().Bytes(),
         true,
         {3, 3}},
        {"bitmap", Bmp(), true, {2, 2}},
        {"GIF of another version, not parsed", TwoFrames(32, 32, "88a"), false, {}},
        {"not an image", {'h', 'e', 'l', 'l', 'o', '\n'}, false, {}},
        {"empty", {}, false, {}},
    };
    for (const auto& row : rows) {
        Picture().Unload();
        EXPECT_EQ(Load(row.bytes), row.loads) << row.what;
        EXPECT_FALSE(Picture().IsAnimated()) << row.what;
        EXPECT_EQ(Picture().FrameCount(), 0) << row.what;
        EXPECT_EQ(Picture().StartDrawing(), row.loads) << row.what;
        EXPECT_FALSE(Picture().IsPlaying()) << row.what;
        if (!row.loads) continue;
        EXPECT_EQ(Picture().PictureSize(), row.size) << row.what;
        EXPECT_EQ(Shown(0, 0), row.what[0] == 'b' ? kRed : kBlue) << row.what;
    }
    EXPECT_TRUE(m_gate.Sleeps().empty()) << "no drawing thread waited";
}

TEST_F(PictureTest, DelaysBelowFiveAndMissingOnesShowForATenthOfASecond) {
    GifWriter gif(4, 4, kColors);
    for (int delay : {0, 1, 2, 3, 4, 5, 10}) gif.Control(delay, 0).Image(0, 0, 1, 1, 0);
    gif.Image(0, 0, 1, 1, 1).Trailer();  // no control extension
    ASSERT_TRUE(Load(gif.Bytes()));
    m_gate.Open();
    ASSERT_TRUE(Picture().StartDrawing());
    EXPECT_TRUE(Picture().IsPlaying());
    m_gate.WaitForSleeps(8);
    Picture().StopAnimation();
    EXPECT_FALSE(Picture().IsPlaying());
    const std::vector<Milliseconds> sleeps = m_gate.Sleeps();
    const std::vector<Milliseconds> expected = {100ms, 100ms, 100ms, 100ms,
                                                100ms, 50ms,  100ms, 100ms};
    EXPECT_EQ(std::vector<Milliseconds>(sleeps.begin(), sleeps.begin() + 8), expected);
}

// Row 0 of a 4 x 4 screen: frame 0 paints it red and stays; frame 1 puts green at (0, 0) and
// restores what lay under it; frame 2 puts blue at (1, 0) and gives way to the background;
// frame 3 puts white at (0, 1), cleared with everything after the last frame.
TEST_F(PictureTest, DisposalsAndTheClearAfterTheLastFrame) {
    ASSERT_TRUE(Load(GifWriter(4, 4, kColors)
                         .Control(10, 0)
                         .Image(0, 0, 3, 1, 0)
                         .Control(10, 3)
                         .Image(0, 0, 1, 1, 1)
                         .Control(10, 2)
                         .Image(1, 0, 1, 1, 2)
                         .Control(10, 0)
                         .Image(0, 1, 1, 1, 3)
                         .Trailer()
                         .Bytes()));
    Picture().SetBackgroundColor(kDark);
    ASSERT_TRUE(Picture().StartDrawing());
    m_gate.WaitForSleeps(1);
    EXPECT_EQ(Shown(0, 0), kRed);
    EXPECT_EQ(Shown(2, 0), kRed);
    EXPECT_EQ(Shown(0, 1), kDarkArgb);
    m_gate.Step();
    EXPECT_EQ(Shown(0, 0), kGreen);
    m_gate.Step();
    EXPECT_EQ(Shown(0, 0), kRed) << "disposal 3 restored the pixels under the frame";
    EXPECT_EQ(Shown(1, 0), kBlue);
    m_gate.Step();
    EXPECT_EQ(Shown(1, 0), kDarkArgb) << "disposal 2 gave way to the background";
    EXPECT_EQ(Shown(0, 1), kWhite);
    m_gate.Step();
    EXPECT_EQ(Shown(0, 1), kDarkArgb) << "cleared after the last frame";
    EXPECT_EQ(Shown(0, 0), kRed) << "frame 0 again";
    EXPECT_EQ(Shown(1, 0), kRed);
}

TEST_F(PictureTest, BadInputLoadsWhatItCanOrNothing) {
    const std::vector<std::uint8_t> whole = GifWriter(4, 4, kColors)
                                                .Control(10, 0)
                                                .Image(0, 0, 4, 4, 0)
                                                .Control(10, 2)
                                                .Image(1, 1, 2, 2, 1)
                                                .Control(10, 0)
                                                .Image(0, 0, 1, 1, 2)
                                                .Trailer()
                                                .Bytes();
    m_gate.Open();
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        Picture().Unload();
        Load({whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut)});
        EXPECT_LE(Picture().FrameCount(), 3) << cut;
        if (Picture().IsAnimated()) {
            ASSERT_TRUE(Picture().StartDrawing()) << cut;
            Picture().StopAnimation();
        }
    }

    // A frame of no pixels still takes its turn; one outside the screen is left out, and a
    // lone frame left is shown still, where it belongs.
    Picture().Unload();
    ASSERT_TRUE(Load(GifWriter(4, 4, kColors)
                         .Image(0, 0, 4, 4, 0)
                         .Image(2, 2, 0, 0, 1)
                         .Image(1, 1, 1, 1, 2)
                         .Trailer()
                         .Bytes()));
    EXPECT_EQ(Picture().FrameCount(), 3);
    Picture().Unload();
    ASSERT_TRUE(
        Load(GifWriter(4, 4, kColors).Image(1, 1, 2, 2, 2).Image(3, 3, 4, 4, 1).Trailer().Bytes()));
    EXPECT_FALSE(Picture().IsAnimated());
    EXPECT_EQ(Picture().FrameCount(), 0);
    ASSERT_TRUE(Picture().StartDrawing());
    EXPECT_FALSE(Picture().IsPlaying());
    EXPECT_EQ(Shown(1, 1), kBlue);
    EXPECT_EQ(Shown(0, 0), 0xFFF0F0F0u);
}

TEST_F(PictureTest, DestroyingTheWindowStopsTheAnimation) {
    ASSERT_TRUE(Load(TwoFrames()));
    ASSERT_TRUE(Picture().StartDrawing());
    EXPECT_TRUE(Picture().StartDrawing()) << "a second start starts no second thread";
    m_gate.WaitForSleeps(1);
    m_gate.Open();
    m_parent->DestroyWindow();
    EXPECT_FALSE(Picture().IsPlaying());
    EXPECT_TRUE(CUIPictureEx::WaitForDrawingThreads(0ms));
}

TEST_F(PictureTest, UnloadOnAWorkerWhileTheUiThreadPaintsAndTheThreadDraws) {
    ASSERT_TRUE(Load(TwoFrames()));
    m_gate.Open();
    ASSERT_TRUE(Picture().StartDrawing());
    m_gate.WaitForSleeps(20);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        EXPECT_TRUE(Picture().IsPlaying());
        Picture().Unload();
        done = true;
    });
    while (!done) {
        Picture().Invalidate();
        m_system->PumpUntilIdle();
    }
    worker.join();
    EXPECT_FALSE(Picture().IsPlaying());
    EXPECT_EQ(Picture().FrameCount(), 0);
    EXPECT_FALSE(Picture().StartDrawing());
    EXPECT_TRUE(CUIPictureEx::WaitForDrawingThreads(0ms));
}

// A frame delay of 655.35 s in real time: the stop must cut it short.
class RealTimePictureTest : public PictureTest {
protected:
    RealTimePictureTest() : PictureTest(std::make_unique<HoldingClock>(1, 655350ms)) {}
    HoldingClock& Held() { return static_cast<HoldingClock&>(*m_clock); }
};

TEST_F(RealTimePictureTest, StopAnimationReturnsAtOnceDuringALongDelay) {
    ASSERT_TRUE(Load(GifWriter(4, 4, kColors)
                         .Control(65535, 0)
                         .Image(0, 0, 1, 1, 0)
                         .Control(65535, 0)
                         .Image(0, 0, 1, 1, 1)
                         .Trailer()
                         .Bytes()));
    ASSERT_TRUE(Picture().StartDrawing());
    Held().WaitUntilReached();  // the drawing thread is about to wait
    const auto start = std::chrono::steady_clock::now();
    Picture().StopAnimation();
    EXPECT_LT(std::chrono::steady_clock::now() - start, CUIPictureEx::kStopWait / 2);
    EXPECT_FALSE(Picture().IsPlaying());
    EXPECT_TRUE(CUIPictureEx::WaitForDrawingThreads(0ms)) << "the thread ended, not left behind";
}

// Time runs a thousand times faster, so the stop's 5 s limit passes in 5 ms while the drawing
// thread is held before its wait.
class StuckThreadPictureTest : public PictureTest {
protected:
    StuckThreadPictureTest() : PictureTest(std::make_unique<HoldingClock>(1000, 1230ms)) {
        Held().Hold(true);
    }
    HoldingClock& Held() { return static_cast<HoldingClock&>(*m_clock); }
};

TEST_F(StuckThreadPictureTest, AStopThatTimesOutFreesNothingTheThreadStillUses) {
    ASSERT_TRUE(Load(GifWriter(4, 4, kColors)
                         .Control(123, 3)
                         .Image(0, 0, 2, 2, 0)
                         .Control(123, 2)
                         .Image(0, 0, 2, 2, 1)
                         .Trailer()
                         .Bytes()));
    ASSERT_TRUE(Picture().StartDrawing());
    Held().WaitUntilReached();
    Picture().StopAnimation();
    EXPECT_FALSE(CUIPictureEx::WaitForDrawingThreads(0ms)) << "the stop timed out";
    EXPECT_FALSE(Picture().StartDrawing()) << "no second thread beside the one still drawing";
    Picture().Unload();
    // The held thread goes on after the unload, through frames, surfaces and its stop signal.
    Held().Release();
    EXPECT_TRUE(CUIPictureEx::WaitForDrawingThreads(std::chrono::minutes(1)));
}

}  // namespace
