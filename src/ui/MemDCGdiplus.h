#pragma once
// An off-screen drawing surface bound to a target context for one drawing pass: drawing uses
// the target's coordinates, and the surface is copied back over its rectangle, once, when the
// object goes. UI thread.

#include "gfx/Canvas.h"

namespace memdc_detail {
// Holds the off-screen pixels so they exist before the canvas over them is made.
struct OffScreen {
    vesk::gfx::Surface m_bitmap;
};
}  // namespace memdc_detail

class CMemDCGdiplus : private memdc_detail::OffScreen, public vesk::gfx::Canvas {
public:
    // An empty (all zero) rectangle covers the target's clip box. With copyFirst the target's
    // pixels of the rectangle are copied in first.
    explicit CMemDCGdiplus(vesk::gfx::Canvas& target, const vesk::gfx::Rect& rect = {},
                           bool copyFirst = false);
    ~CMemDCGdiplus();
    CMemDCGdiplus(const CMemDCGdiplus&) = delete;
    CMemDCGdiplus& operator=(const CMemDCGdiplus&) = delete;

    const vesk::gfx::Rect& CoveredRect() const { return m_rect; }

private:
    vesk::gfx::Canvas* m_pDC;
    vesk::gfx::Rect m_rect;
};
