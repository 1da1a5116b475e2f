#pragma once
// A surface one drawing thread draws and the UI thread reads: the drawing thread draws each
// frame into a surface of its own and hands it over whole; the UI thread reads the last frame
// handed over under a short lock. No surface is ever drawn on by two threads at once.
// Safe from any thread.

#include <functional>
#include <mutex>

#include "gfx/Surface.h"

namespace vesk::ui {

class SharedSurface {
public:
    // Drawing thread. Hands a finished frame over and gets back the one it replaces (possibly
    // empty), to draw the next frame into.
    gfx::Surface Exchange(gfx::Surface frame);
    // UI thread. Runs read on the last frame under the lock; false when there is none yet.
    bool Read(const std::function<void(const gfx::Surface&)>& read) const;
    // Forgets the frame, so a stopped drawing shows nothing.
    void Clear();

private:
    mutable std::mutex m_mutex;
    gfx::Surface m_frame;
};

}  // namespace vesk::ui
