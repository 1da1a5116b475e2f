#include "UIPictureEx.h"

#include <atomic>
#include <condition_variable>
#include <string>
#include <utility>
#include <vector>

#include "GifFrames.h"
#include "clock/StopSignal.h"
#include "fs/WholeFile.h"
#include "gfx/Canvas.h"
#include "ui/SharedSurface.h"
#include "ui/SysColors.h"
#include "ui/System.h"
#include "ui/WindowHandle.h"

using vesk::gfx::Bitmap;
using vesk::gfx::Canvas;
using vesk::gfx::ColorRef;
using vesk::gfx::Rect;
using vesk::gfx::Size;
using vesk::gfx::Surface;

namespace {

// Larger picture files are refused rather than read whole.
constexpr std::size_t kLargestPicture = 64u << 20;
// A frame with a shorter delay, or none, shows this long.
constexpr std::chrono::milliseconds kShortFrame{100};
constexpr std::uint32_t kShortestDelay = 5;

std::chrono::milliseconds DisplayTime(std::uint32_t delay) {
    if (delay < kShortestDelay || delay == kGifNoDelay) return kShortFrame;
    return std::chrono::milliseconds(std::int64_t{delay} * 10);
}

// Drawing threads of every picture, so the program's end can wait for them. Never freed: a
// thread whose stop timed out may still count itself out while the process ends.
struct DrawingThreads {
    std::mutex mutex;
    std::condition_variable ended;
    int count = 0;
};

DrawingThreads& AllDrawingThreads() {
    static auto* threads = new DrawingThreads;
    return *threads;
}

void CountThread(int change) {
    DrawingThreads& threads = AllDrawingThreads();
    std::lock_guard lock(threads.mutex);
    threads.count += change;
    threads.ended.notify_all();
}

}  // namespace

struct CUIPictureEx::Animation {
    struct Frame {
        Bitmap picture;  // the frame's rectangle of its decoded stand-alone GIF
        Rect rect;
        std::uint32_t delay;
        int disposal;
    };

    // Fixed once loaded.
    std::vector<Frame> frames;
    Bitmap single;
    Size size;
    vesk::ui::Hwnd hwnd = 0;

    std::atomic<ColorRef> background{kDefaultBackground};
    std::atomic<bool> playing{false};
    vesk::clock::StopSignal stop;  // the exit flag and event
    vesk::ui::SharedSurface shown;

    // The drawing thread's while it draws a step; anyone else's under the lock.
    std::mutex drawing;
    Surface composition;
    Surface saved;  // what lay under the current frame, for disposal 3
    Surface spare;  // the next surface handed over to `shown`
    int current = 0;

    std::mutex endMutex;
    std::condition_variable ended;
    bool running = false;

    bool IsAnimated() const { return frames.size() > 1; }

    void Fill(const Rect& rect) {
        Canvas(composition).FillRect(rect, vesk::gfx::ArgbFromColorRef(background.load()));
    }

    // Hands a copy of the composition to the painter.
    void Publish() {
        if (spare.Width() != composition.Width() || spare.Height() != composition.Height())
            spare = Surface(composition.Width(), composition.Height());
        Canvas from(composition);
        Canvas(spare).Copy({0, 0, composition.Width(), composition.Height()}, from, {0, 0});
        spare = shown.Exchange(std::move(spare));
    }

    void Dispose(const Frame& frame) {
        if (frame.disposal == 2) {
            Fill(frame.rect);
        } else if (frame.disposal == 3 && !saved.IsEmpty()) {
            Canvas from(saved);
            Canvas(composition).Copy(frame.rect, from, {0, 0});
            saved = Surface();
        }
    }

    void Draw(const Frame& frame) {
        if (frame.disposal == 3) {
            saved = Surface(frame.rect.Width(), frame.rect.Height());
            Canvas from(composition);
            Canvas(saved).Copy({0, 0, saved.Width(), saved.Height()}, from, frame.rect.TopLeft());
        }
        Canvas(composition).DrawImage(frame.picture, frame.rect.TopLeft());
    }

    void Play() {
        {
            std::lock_guard lock(drawing);
            Dispose(frames[current]);
        }
        while (!stop.StopRequested()) {
            const Frame* frame = nullptr;
            {
                std::lock_guard lock(drawing);
                frame = &frames[current];
                Draw(*frame);
                Publish();
            }
            vesk::ui::WindowHandle(hwnd).Invalidate();
            if (stop.StopRequested()) break;
            stop.WaitFor(DisplayTime(frame->delay));
            if (stop.StopRequested()) break;
            std::lock_guard lock(drawing);
            Dispose(*frame);
            current = (current + 1) % static_cast<int>(frames.size());
            if (current == 0) Fill({0, 0, size.cx, size.cy});
            Publish();
        }
    }

    bool IsRunning() {
        std::lock_guard lock(endMutex);
        return running;
    }

    void SetRunning(bool value) {
        {
            std::lock_guard lock(endMutex);
            running = value;
        }
        if (!value) ended.notify_all();
    }

    // A clock that jumps over waits gives no real span; the thread's end then comes at once
    // after the stop, so the shipped limit in real time is only a guard.
    bool WaitForEnd() {
        const auto real = vesk::clock::Current().RealSpan(kStopWait).value_or(kStopWait);
        std::unique_lock lock(endMutex);
        return ended.wait_for(lock, real, [this] { return !running; });
    }
};

CUIPictureEx::CUIPictureEx() = default;

CUIPictureEx::~CUIPictureEx() {
    Unload();
}

std::shared_ptr<CUIPictureEx::Animation> CUIPictureEx::Current() const {
    std::lock_guard lock(m_mutex);
    return m_animation;
}

bool CUIPictureEx::LoadFromFile(const std::wstring& path) {
    std::string bytes;
    if (vesk::fs::ReadWholeFile(path, bytes, kLargestPicture) != vesk::fs::WholeFileRead::Ok)
        return false;
    return LoadFromMemory({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
}

bool CUIPictureEx::LoadFromMemory(std::span<const std::uint8_t> data) {
    // A second load would mix its frames with the first's, or leave a thread drawing.
    if (Current()) Unload();
    if (data.empty()) return false;
    if (!IsGifData(data)) {
        auto animation = std::make_shared<Animation>();
        animation->single = Bitmap::FromMemory(data);
        if (animation->single.IsEmpty()) return false;
        animation->size = {animation->single.Width() - 1, animation->single.Height()};
        return PrepareSurface(std::move(animation), false);
    }
    GifBlockParser parser(data);
    const int count = parser.CountGraphicBlocks();
    if (count == 0) return false;
    std::shared_ptr<Animation> animation;
    if (count == 1) {
        animation = std::make_shared<Animation>();
        animation->single = Bitmap::FromMemory(data);
        if (animation->single.IsEmpty()) return false;
    } else {
        animation = LoadFrames(data);
        if (!animation) return false;
    }
    animation->size = {parser.ScreenWidth() - 1, parser.ScreenHeight()};
    return PrepareSurface(std::move(animation), true);
}

std::shared_ptr<CUIPictureEx::Animation> CUIPictureEx::LoadFrames(
    std::span<const std::uint8_t> data) {
    auto animation = std::make_shared<Animation>();
    GifBlockParser parser(data);
    while (std::optional<GifFrameBlock> block = parser.NextGraphicBlock()) {
        const Bitmap decoded = Bitmap::FromMemory(block->gif);
        if (decoded.IsEmpty()) continue;
        // The loader gives the whole logical screen; only the frame's rectangle is kept.
        const Rect rect =
            Rect::FromXywh(block->offset.x, block->offset.y, block->size.cx, block->size.cy);
        Surface part(rect.Width(), rect.Height());
        Canvas(part).DrawImagePart(decoded, rect, {0, 0});
        animation->frames.push_back({Bitmap(std::move(part)), rect, block->delay, block->disposal});
    }
    return animation->frames.empty() ? nullptr : animation;
}

bool CUIPictureEx::PrepareSurface(std::shared_ptr<Animation> animation, bool gif) {
    const Size size = animation->size;
    const vesk::ui::Hwnd hwnd = GetHwnd();
    // The control keeps its place and takes the picture's size, on the UI thread.
    vesk::ui::System::RunOnUiThread([hwnd, size] {
        vesk::ui::System* system = vesk::ui::System::Current();
        vesk::ui::Window* window = system ? system->FromHwnd(hwnd) : nullptr;
        if (!window) return;
        const Rect at = window->GetWindowRect();
        window->MoveWindow(Rect::FromXywh(at.left, at.top, size.cx, size.cy));
    });
    animation->composition = Surface(size.cx, size.cy);
    if (animation->composition.IsEmpty()) return false;
    animation->hwnd = hwnd;
    const ColorRef face = vesk::ui::GetSysColor(vesk::ui::COLOR_BTNFACE);
    animation->background = face;
    Canvas(animation->composition)
        .FillRect({0, 0, size.cx, size.cy},
                  vesk::gfx::ArgbFromColorRef(vesk::ui::GetSysColor(vesk::ui::COLOR_MENU)));
    animation->Publish();
    std::lock_guard lock(m_mutex);
    m_animation = std::move(animation);
    m_size = size;
    m_gif = gif;
    m_background = face;
    return true;
}

bool CUIPictureEx::StartDrawing() {
    std::lock_guard lock(m_mutex);
    const std::shared_ptr<Animation> animation = m_animation;
    if (!animation) return false;
    if (animation->IsAnimated()) {
        if (m_worker.joinable()) {
            if (animation->IsRunning()) return true;
            m_worker.join();
        }
        // One whose stop timed out still draws; a second thread would draw beside it.
        if (animation->IsRunning()) return false;
        animation->stop.Reset();
        animation->playing = true;
        animation->SetRunning(true);
        CountThread(+1);
        try {
            m_worker = std::thread(DrawingThread, animation);
        } catch (...) {
            animation->playing = false;
            animation->SetRunning(false);
            CountThread(-1);
            return false;
        }
        return true;
    }
    {
        std::lock_guard drawing(animation->drawing);
        Canvas dc(animation->composition);
        if (!animation->single.IsEmpty()) {
            dc.DrawImage(animation->single, Rect{0, 0, m_size.cx, m_size.cy});
        } else if (animation->frames.size() == 1) {
            // Only one frame of several decoded: it is shown still, where it belongs.
            animation->Draw(animation->frames.front());
        } else {
            return false;
        }
        animation->Publish();
    }
    vesk::ui::WindowHandle(animation->hwnd).Invalidate();
    return true;
}

void CUIPictureEx::StopAnimation() {
    std::shared_ptr<Animation> animation;
    std::thread worker;
    {
        std::lock_guard lock(m_mutex);
        animation = m_animation;
        worker = std::move(m_worker);
    }
    if (!animation) return;
    animation->playing = false;
    animation->stop.RequestStop();
    if (!worker.joinable()) return;
    // A thread that does not end in time keeps its own share of the animation and ends later.
    if (animation->WaitForEnd())
        worker.join();
    else
        worker.detach();
}

// The old picture goes after the lock; a drawing thread still running keeps its share.
void CUIPictureEx::Unload() {
    StopAnimation();
    std::shared_ptr<Animation> old;
    std::lock_guard lock(m_mutex);
    old = std::exchange(m_animation, nullptr);
    m_paintArea = {};
    m_gif = false;
    m_background = kDefaultBackground;
}

void CUIPictureEx::SetBackgroundColor(ColorRef color) {
    std::shared_ptr<Animation> animation;
    {
        std::lock_guard lock(m_mutex);
        if (!m_animation) return;
        animation = m_animation;
        m_background = color;
    }
    animation->background = color;
    std::lock_guard drawing(animation->drawing);
    animation->Fill({0, 0, animation->size.cx, animation->size.cy});
    animation->Publish();
}

ColorRef CUIPictureEx::GetBackgroundColor() const {
    std::lock_guard lock(m_mutex);
    return m_background;
}

bool CUIPictureEx::IsPlaying() const {
    const auto animation = Current();
    return animation && animation->playing;
}

bool CUIPictureEx::IsAnimated() const {
    std::lock_guard lock(m_mutex);
    return m_gif && m_animation && m_animation->IsAnimated();
}

int CUIPictureEx::FrameCount() const {
    std::lock_guard lock(m_mutex);
    return m_gif && m_animation && m_animation->IsAnimated()
               ? static_cast<int>(m_animation->frames.size())
               : 0;
}

Size CUIPictureEx::PictureSize() const {
    std::lock_guard lock(m_mutex);
    return m_size;
}

void CUIPictureEx::SetPaintArea(const Rect& area) {
    std::lock_guard lock(m_mutex);
    m_paintArea = area;
}

Rect CUIPictureEx::GetPaintArea() const {
    std::lock_guard lock(m_mutex);
    return m_paintArea;
}

bool CUIPictureEx::WaitForDrawingThreads(std::chrono::milliseconds realLimit) {
    DrawingThreads& threads = AllDrawingThreads();
    std::unique_lock lock(threads.mutex);
    return threads.ended.wait_for(lock, realLimit, [&] { return threads.count == 0; });
}

void CUIPictureEx::OnPaint(Canvas& dc) {
    std::shared_ptr<Animation> animation;
    Rect source;
    {
        std::lock_guard lock(m_mutex);
        animation = m_animation;
        source = m_paintArea.Width() > 0 ? m_paintArea : Rect{0, 0, m_size.cx, m_size.cy};
    }
    if (!animation) return;
    animation->shown.Read([&](const Surface& picture) {
        // The canvas only reads the handed-over picture, under the shared surface's lock.
        Canvas from(const_cast<Surface&>(picture));
        dc.Copy({0, 0, source.Width(), source.Height()}, from, source.TopLeft());
    });
}

void CUIPictureEx::OnDestroy() {
    StopAnimation();
    Static::OnDestroy();
}

void CUIPictureEx::DrawingThread(std::shared_ptr<Animation> animation) {
    animation->Play();
    animation->playing = false;
    animation->SetRunning(false);
    // The last share may be this one; it goes before the thread counts as ended.
    animation.reset();
    CountThread(-1);
}
