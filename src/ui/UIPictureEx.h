#pragma once
// A static control that shows a picture file and plays an animated GIF: the frames, cut out and
// decoded once at load, are composed on a drawing thread of the control's own, honouring each
// frame's position, delay and disposal; painting copies the last composed picture.
//
// Threads: every public method is safe from any thread, also while the UI thread paints and the
// drawing thread draws; the load resizes the control on the UI thread (waiting for it when
// called from a worker). The drawing thread never touches the control: it reaches the window
// by handle, and what it draws with lives as long as the thread, also after an Unload.

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>

#include "gfx/Bitmap.h"
#include "ui/Static.h"

class CUIPictureEx : public vesk::ui::Static {
public:
    // How long StopAnimation waits for the drawing thread, in clock time.
    static constexpr std::chrono::milliseconds kStopWait{5000};
    static constexpr vesk::gfx::ColorRef kDefaultBackground = 0xFFFFFF;

    CUIPictureEx();
    ~CUIPictureEx() override;

    // False when the file cannot be read or holds no picture.
    bool LoadFromFile(const std::wstring& path);
    // Does not unload a picture loaded before: call Unload first.
    bool LoadFromMemory(std::span<const std::uint8_t> data);
    // Starts playing an animated GIF, or draws a single picture once; false when nothing is
    // loaded. A second start while playing starts no second thread.
    bool StartDrawing();
    // Ends the drawing thread, waiting for it at most kStopWait; it resumes at the frame where
    // it stopped.
    void StopAnimation();
    void Unload();

    void SetBackgroundColor(vesk::gfx::ColorRef color);
    vesk::gfx::ColorRef GetBackgroundColor() const;
    bool IsPlaying() const;
    bool IsAnimated() const;
    int FrameCount() const;
    vesk::gfx::Size PictureSize() const;
    void SetPaintArea(const vesk::gfx::Rect& area);
    vesk::gfx::Rect GetPaintArea() const;

    // Waits, at most the real time given, until no drawing thread of any picture runs (one
    // whose stop timed out may run on); true when none does. For the program's end and tests.
    static bool WaitForDrawingThreads(std::chrono::milliseconds realLimit);

    void OnPaint(vesk::gfx::Canvas& dc) override;
    void OnDestroy() override;

private:
    struct Animation;

    // The frames of a GIF of more than one frame; null when none decodes.
    static std::shared_ptr<Animation> LoadFrames(std::span<const std::uint8_t> data);
    // Sizes the control, makes the composition surface and takes the picture.
    bool PrepareSurface(std::shared_ptr<Animation> animation, bool gif);
    std::shared_ptr<Animation> Current() const;
    // The drawing thread's body; what it draws with stays alive until it ends.
    static void DrawingThread(std::shared_ptr<Animation> animation);

    mutable std::mutex m_mutex;  // guards the fields below
    std::shared_ptr<Animation> m_animation;
    std::thread m_worker;
    vesk::gfx::Rect m_paintArea;
    vesk::gfx::Size m_size;
    bool m_gif = false;
    vesk::gfx::ColorRef m_background = kDefaultBackground;
};
