#pragma once
// A block of ARGB pixels that drawing lands on: the stand-in for a memory bitmap selected into a
// device context. Owned by one thread at a time; not safe for concurrent use.

#include <cstdint>
#include <string>

#include "gfx/Color.h"
#include "gfx/Geometry.h"

typedef struct _cairo_surface cairo_surface_t;

namespace vesk::gfx {

class Surface {
public:
    Surface() = default;
    // A surface of the size, cleared to transparent black; 0 x 0 when either side is not positive.
    Surface(int width, int height);
    ~Surface();
    Surface(Surface&& other) noexcept;
    Surface& operator=(Surface&& other) noexcept;
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    bool IsEmpty() const { return m_surface == nullptr; }

    // The pixel as straight (not premultiplied) ARGB; 0 outside the surface.
    Argb Pixel(int x, int y) const;
    void SetPixel(int x, int y, Argb color);
    // A surface of its own with the same pixels.
    Surface Copy() const;
    // Every pixel set to the colour, with no blending.
    void Clear(Argb color);
    // Writes the surface as a PNG file; false when it cannot.
    bool SavePng(const std::string& path) const;

    // For the drawing code of this library.
    cairo_surface_t* Handle() const { return m_surface; }
    std::uint32_t* Row(int y) const;
    int Stride() const;

private:
    cairo_surface_t* m_surface = nullptr;
    int m_width = 0;
    int m_height = 0;
};

}  // namespace vesk::gfx
