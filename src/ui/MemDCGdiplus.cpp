#include "MemDCGdiplus.h"

namespace {

vesk::gfx::Rect Covered(const vesk::gfx::Canvas& target, const vesk::gfx::Rect& rect) {
    return rect.IsNull() ? target.ClipBox() : rect;
}

}  // namespace

CMemDCGdiplus::CMemDCGdiplus(vesk::gfx::Canvas& target, const vesk::gfx::Rect& rect, bool copyFirst)
    : OffScreen{vesk::gfx::Surface(Covered(target, rect).Width(), Covered(target, rect).Height())},
      Canvas(m_bitmap),
      m_pDC(&target),
      m_rect(Covered(target, rect)) {
    SetOrigin(m_rect.TopLeft());
    if (copyFirst) Copy(m_rect, target, m_rect.TopLeft());
}

CMemDCGdiplus::~CMemDCGdiplus() {
    m_pDC->Copy(m_rect, *this, m_rect.TopLeft());
}
