#pragma once
// A decoded image (PNG, GIF's first frame, BMP, JPEG). A failed load gives an empty bitmap of
// 0 x 0 pixels that draws nothing. Loading is safe from any thread; one bitmap is not shared
// between threads while it changes.

#include <cstdint>
#include <span>
#include <string>

#include "gfx/Surface.h"

namespace vesk::gfx {

class Bitmap {
public:
    Bitmap() = default;
    explicit Bitmap(Surface pixels) : m_pixels(std::move(pixels)) {}

    // The file's bytes, decoded; empty when the file cannot be read or decoded.
    static Bitmap FromFile(const std::string& path);
    static Bitmap FromMemory(std::span<const std::uint8_t> bytes);

    int Width() const { return m_pixels.Width(); }
    int Height() const { return m_pixels.Height(); }
    bool IsEmpty() const { return m_pixels.IsEmpty(); }
    const Surface& Pixels() const { return m_pixels; }
    Argb Pixel(int x, int y) const { return m_pixels.Pixel(x, y); }

private:
    Surface m_pixels;
};

}  // namespace vesk::gfx
